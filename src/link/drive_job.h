#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "core/program.h"

namespace dw {

// Loads and starts drive code (function 0) or runs a job of the loaded code (1, 2, 5..8).
uint8_t DriveJob(Program& p, int function, int p1, int p2, int p3, int p4);

// Reads name + ".h65" from the current directory into CommandPacket[offset ..].
int LoadDriveCodeFile(Program& p, const std::string& name, int offset);

// Puts `pages` pages into the adapter's buffer: the bytes (at most the pages' size), the rest
// of the pages as the packet buffer holds them. Drive code or a burst write then takes them.
void UploadPages(Program& p, std::span<const uint8_t> bytes, int pages);

// The drive's write-protect sense through the loaded drive code: true when the disk is
// protected (bit 4 of $1C00 clear). false also when the link failed (LinkState tells).
bool DiskWriteProtected(Program& p);

}  // namespace dw
