// The virtual bus is built from the files beside this one.
namespace sim {}
