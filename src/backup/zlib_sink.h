#pragma once
// The backup compressor: everything appended becomes exactly one zlib stream (RFC 1950: the
// two-byte header, deflate data, the Adler-32 of the input) written into another sink, at
// compression level 9, on every processor.
//
// With more than one thread the input is cut into blocks compressed in parallel the way pigz
// does it: each block is a raw deflate of its bytes primed with the 32 KiB of input before it
// (deflateSetDictionary), so matches reach back across the cut as in a single stream; every
// block but the last ends with a sync flush (an empty stored block that brings the bit stream
// to a byte boundary), the last with Z_FINISH; the pieces are written in order and the Adler-32
// of the blocks are combined (adler32_combine) into the trailer. Any inflater reads the result
// as one ordinary stream; it is a few bytes per block larger than a single-stream deflate. With
// one thread the input goes through one deflate stream on the calling thread.
//
// Memory is bounded: at most 4 × threads + 4 blocks exist (input plus compressed output each),
// whatever the size of the input; the caller waits when all are in use. The spare blocks let
// the workers go on while the caller waits for its input (the database server).
//
// Threading: Append and Finish are called from one thread, and the sink written into is only
// ever called on that thread; the workers touch only their blocks. `out` must outlive this
// object.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "backup/sink.h"

namespace ab {

struct CompressorOptions {
  // Compressing threads; 0 means one per processor available to the process.
  int threads = 0;
  // Input bytes per block when compressing in parallel: pigz's 128 KiB, which keeps a block
  // and its output in a core's cache (1 MiB blocks cost some 6 % more time).
  size_t block_size = 128 * 1024;
  int level = 9;
};

class ZlibSink : public Sink {
 public:
  explicit ZlibSink(Sink& out, CompressorOptions options = {});
  // Stops the workers. A stream that was not finished is abandoned: nothing more is written.
  ~ZlibSink() override;
  ZlibSink(const ZlibSink&) = delete;
  ZlibSink& operator=(const ZlibSink&) = delete;

  // Throws what `out` throws, or IoError when zlib fails; the sink is unusable afterwards.
  void Append(std::string_view bytes) override;
  // Compresses the rest, writes the trailer and finishes `out`.
  void Finish() override;

  uint64_t bytes_in() const;
  int threads() const;

 private:
  class Impl;
  class SingleStream;
  class Parallel;
  std::unique_ptr<Impl> impl_;
  bool failed_ = false;
  bool finished_ = false;
};

// The processors this process may run on (at least 1).
int ProcessorCount();

}  // namespace ab
