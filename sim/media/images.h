#pragma once
// Image files and disks, converted in memory; file access sits apart in image_file.cpp.
//
// D64: the sectors of tracks 1-35 (or 40, 42) in order, optionally one error byte per sector
// appended. D71: a D64 side for tracks 1-35, then side 2 (tracks 36-70), error bytes after
// both. D81: 80 x 40 sectors, optionally 3200 error bytes. G64: raw GCR tracks (image_g64.cpp).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sim {

class GcrDisk;
class SectorDisk;

std::unique_ptr<GcrDisk> GcrDiskFromD64(std::span<const uint8_t> image, std::string* error);
std::unique_ptr<GcrDisk> GcrDiskFromD71(std::span<const uint8_t> image, std::string* error);
std::unique_ptr<GcrDisk> GcrDiskFromG64(std::span<const uint8_t> image, std::string* error);
std::unique_ptr<SectorDisk> SectorDiskFromD81(std::span<const uint8_t> image, std::string* error);

// The job code an image's error byte gives a sector: its low four bits; the codes a read of a
// real disk cannot show ($00, $01, write errors, $0F, ...) make a good sector.
int JobCodeOfErrorByte(uint8_t byte);

// Error bytes are appended when some sector is not good or the disk came with them.
std::vector<uint8_t> D64FromDisk(const GcrDisk& disk);
std::vector<uint8_t> D71FromDisk(const GcrDisk& disk);
std::vector<uint8_t> G64FromDisk(const GcrDisk& disk);
std::vector<uint8_t> D81FromDisk(const SectorDisk& disk);

// The lower-case extension of a path without the dot ("d64"); empty when there is none.
std::string ExtensionOf(const std::string& path);
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string* error);
// Writes to a temporary file beside the target and renames it over the target when complete.
bool WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, std::string* error);

}  // namespace sim
