// Decoding ahead: while the main thread makes the window and the graphics context (a quarter
// of a second of work on one core), worker threads read the JPEG pictures the start-up will
// load and decode them into plain pixel buffers. The texture manager, loading a file, takes
// the finished picture when a worker decoded exactly the bytes it holds; anything else (other
// formats, which only SDL decodes, a file that failed or changed in the meantime, a request
// not yet begun) it decodes itself as it always did, so every message and every fatal error
// stays on the main thread, in its order.
//
// Workers read files the way the file table does (regular files only, bounded, opened
// without blocking) and call nothing but the reading and libjpeg: no SDL, no GL, no message.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "resources/image_decode.h"

namespace qh {

struct DecodeAheadRequest {
  std::string file;         // the data file to read first (a name as LoadFile takes it)
  bool alphaPlane = false;  // decode only the JPEG stream in front of its alpha plane
  std::string otherwise;    // read whole when `file` is missing; empty for none
};

// Main thread, before StartDecodeAhead: adds a request, in the order the loader will want
// them. A request for a file already queued is dropped.
void QueueDecodeAhead(const DecodeAheadRequest& request);

// Starts the workers (one per core, one to four) over the queued requests. A file the file
// table already holds is decoded from the table's bytes, copied here, as LoadFile would
// return them. Does nothing when nothing is queued or the workers already run.
void StartDecodeAhead();

// Main thread: the picture decoded ahead from `file`, moved into *out, when a worker decoded
// exactly these `size` bytes of it without error. Waits when that file's decode is under way;
// a request no worker has begun is given up (false), as is any other mismatch: the caller
// then decodes the bytes itself. Each result is handed out at most once.
bool TakeDecodedAhead(const char* file, const uint8_t* bytes, size_t size, DecodedPicture* out);

// Waits until the workers have dealt with every request (tests and measurements).
void WaitForDecodeAhead();

// Drops the requests not yet begun, waits for the workers to end and frees the pictures no
// one took. Called once the first scene is loaded, and at the process's normal end.
void FinishDecodeAhead();

// For tests and measurements, counted from the last StartDecodeAhead (and kept after the
// finish): requests it started with, pictures the workers decoded, pictures handed out.
struct DecodeAheadCounts {
  int32_t queued = 0;
  int32_t decoded = 0;
  int32_t taken = 0;
};
DecodeAheadCounts DecodeAheadStatistics();

}  // namespace qh
