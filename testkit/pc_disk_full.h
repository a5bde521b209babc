#pragma once
// A PC disk that fills up, for as long as the object lives: the file size limit of the process
// stops every write past `bytes` (for root as well), and the signal that would end the process
// is ignored, so the write fails as on a full disk.

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>

namespace dw {

class PcDiskFull {
 public:
  explicit PcDiskFull(uint64_t bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previousSignal_);
    getrlimit(RLIMIT_FSIZE, &previousLimit_);
    rlimit small = previousLimit_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~PcDiskFull() {
    setrlimit(RLIMIT_FSIZE, &previousLimit_);
    sigaction(SIGXFSZ, &previousSignal_, nullptr);
  }
  PcDiskFull(const PcDiskFull&) = delete;
  PcDiskFull& operator=(const PcDiskFull&) = delete;

 private:
  struct sigaction previousSignal_ {};
  rlimit previousLimit_{};
};

}  // namespace dw
