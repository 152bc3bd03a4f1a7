#include "backup/zlib_sink.h"

#include <sched.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"

namespace ab {
namespace {

constexpr size_t kWindow = 32 * 1024;

[[noreturn]] void ZlibFail(const char* what, int rc, const z_stream& s) {
  throw IoError(std::string("Compression failed (") + what +
                "): " + (s.msg ? s.msg : "zlib error " + std::to_string(rc)));
}

}  // namespace

int ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

class ZlibSink::Impl {
 public:
  virtual ~Impl() = default;
  virtual void Append(std::string_view bytes) = 0;
  virtual void Finish() = 0;
  virtual int threads() const = 0;
  uint64_t bytes_in = 0;
};

// ---------------------------------------------------------------------------------------------
// One deflate stream on the calling thread.

class ZlibSink::SingleStream : public Impl {
 public:
  SingleStream(Sink& out, int level) : out_(out), in_(kInput, '\0'), buf_(kOutput, '\0') {
    int rc = deflateInit(&strm_, level);
    if (rc != Z_OK) ZlibFail("init", rc, strm_);
  }
  ~SingleStream() override { deflateEnd(&strm_); }

  void Append(std::string_view bytes) override {
    bytes_in += bytes.size();
    while (!bytes.empty()) {
      size_t n = std::min(bytes.size(), in_.size() - used_);
      std::memcpy(in_.data() + used_, bytes.data(), n);
      used_ += n;
      bytes.remove_prefix(n);
      if (used_ == in_.size()) Deflate(Z_NO_FLUSH);
    }
  }
  void Finish() override {
    Deflate(Z_FINISH);
    out_.Finish();
  }
  int threads() const override { return 1; }

 private:
  static constexpr size_t kInput = 64 * 1024;
  static constexpr size_t kOutput = 256 * 1024;

  void Deflate(int flush) {
    strm_.next_in = reinterpret_cast<Bytef*>(in_.data());
    strm_.avail_in = static_cast<uInt>(used_);
    for (;;) {
      strm_.next_out = reinterpret_cast<Bytef*>(buf_.data());
      strm_.avail_out = static_cast<uInt>(buf_.size());
      int rc = deflate(&strm_, flush);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) ZlibFail("deflate", rc, strm_);
      size_t produced = buf_.size() - strm_.avail_out;
      if (produced > 0) out_.Append(std::string_view(buf_.data(), produced));
      if (flush == Z_FINISH ? rc == Z_STREAM_END : strm_.avail_out != 0) break;
    }
    used_ = 0;
  }

  Sink& out_;
  z_stream strm_{};
  std::string in_;
  size_t used_ = 0;
  std::string buf_;
};

// ---------------------------------------------------------------------------------------------
// Blocks compressed by worker threads and written in order by the caller's thread.

class ZlibSink::Parallel : public Impl {
 public:
  Parallel(Sink& out, int threads, size_t block_size, int level)
      : out_(out),
        level_(level),
        block_size_(std::max<size_t>(block_size, 1024)),
        max_blocks_(static_cast<size_t>(4 * threads + 4)),
        tail_(new unsigned char[kWindow]) {
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
    current_ = Acquire();
  }

  ~Parallel() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    work_cv_.notify_all();
    for (auto& t : workers_) t.join();
  }

  void Append(std::string_view bytes) override {
    bytes_in += bytes.size();
    while (!bytes.empty()) {
      size_t n = std::min(bytes.size(), block_size_ - current_->in_len);
      std::memcpy(current_->in.get() + current_->in_len, bytes.data(), n);
      current_->in_len += n;
      bytes.remove_prefix(n);
      if (current_->in_len == block_size_) {
        Submit(false);
        current_ = Acquire();
      }
    }
  }

  void Finish() override {
    Submit(true);
    current_ = nullptr;
    WriteCompleted(true);
    const unsigned char trailer[4] = {
        static_cast<unsigned char>(adler_ >> 24), static_cast<unsigned char>(adler_ >> 16),
        static_cast<unsigned char>(adler_ >> 8), static_cast<unsigned char>(adler_)};
    out_.Append(std::string_view(reinterpret_cast<const char*>(trailer), 4));
    out_.Finish();
  }

  int threads() const override { return static_cast<int>(workers_.size()); }

 private:
  struct Block {
    std::unique_ptr<unsigned char[]> in, dict, out;
    size_t in_len = 0, dict_len = 0, out_cap = 0, out_len = 0;
    uLong adler = 1;
    bool last = false;
    bool done = false;
    std::string error;
  };

  Block* Acquire() {
    for (;;) {
      WriteCompleted(false);
      std::unique_lock<std::mutex> lock(mutex_);
      if (!free_.empty()) {
        Block* b = free_.back();
        free_.pop_back();
        return b;
      }
      if (blocks_.size() < max_blocks_) {
        auto b = std::make_unique<Block>();
        b->in.reset(new unsigned char[block_size_]);
        b->dict.reset(new unsigned char[kWindow]);
        b->out_cap = deflateBound(nullptr, block_size_) + 64;
        b->out.reset(new unsigned char[b->out_cap]);
        blocks_.push_back(std::move(b));
        return blocks_.back().get();
      }
      done_cv_.wait(lock, [&] { return order_.front()->done; });
    }
  }

  void Submit(bool last) {
    Block* b = current_;
    b->last = last;
    b->done = false;
    b->out_len = 0;
    b->error.clear();
    b->dict_len = tail_len_;
    std::memcpy(b->dict.get(), tail_.get(), tail_len_);
    // The dictionary of the next block: the last 32 KiB of all input so far.
    if (b->in_len >= kWindow) {
      std::memcpy(tail_.get(), b->in.get() + b->in_len - kWindow, kWindow);
      tail_len_ = kWindow;
    } else {
      size_t keep = std::min(tail_len_, kWindow - b->in_len);
      std::memmove(tail_.get(), tail_.get() + tail_len_ - keep, keep);
      std::memcpy(tail_.get() + keep, b->in.get(), b->in_len);
      tail_len_ = keep + b->in_len;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      todo_.push_back(b);
      order_.push_back(b);
    }
    work_cv_.notify_one();
  }

  // Writes the finished blocks at the head of the order; with `all`, waits for every block.
  void WriteCompleted(bool all) {
    for (;;) {
      Block* b;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (order_.empty()) return;
        if (all) done_cv_.wait(lock, [&] { return order_.front()->done; });
        if (!order_.front()->done) return;
        b = order_.front();
        order_.pop_front();
      }
      if (!b->error.empty()) throw IoError(b->error);
      if (!header_written_) {
        // CMF 0x78: deflate with a 32 KiB window; FLG 0xDA: maximum compression, no dictionary.
        out_.Append(std::string_view("\x78\xDA", 2));
        header_written_ = true;
      }
      out_.Append(std::string_view(reinterpret_cast<const char*>(b->out.get()), b->out_len));
      adler_ = adler32_combine(adler_, b->adler, static_cast<z_off_t>(b->in_len));
      b->in_len = 0;
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(b);
    }
  }

  void Work() {
    z_stream s{};
    int init = deflateInit2(&s, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    for (;;) {
      Block* b;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_cv_.wait(lock, [&] { return stop_ || !todo_.empty(); });
        if (stop_) break;
        b = todo_.front();
        todo_.pop_front();
      }
      if (init != Z_OK) {
        b->error = "Compression failed: zlib cannot start (" + std::to_string(init) + ")";
      } else {
        Compress(s, *b);
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        b->done = true;
      }
      done_cv_.notify_all();
    }
    if (init == Z_OK) deflateEnd(&s);
  }

  static void Compress(z_stream& s, Block& b) {
    b.adler = adler32(adler32(0L, Z_NULL, 0), b.in.get(), static_cast<uInt>(b.in_len));
    int rc = deflateReset(&s);
    if (rc == Z_OK && b.dict_len > 0) {
      rc = deflateSetDictionary(&s, b.dict.get(), static_cast<uInt>(b.dict_len));
    }
    if (rc != Z_OK) {
      b.error = "Compression failed: zlib error " + std::to_string(rc);
      return;
    }
    s.next_in = b.in.get();
    s.avail_in = static_cast<uInt>(b.in_len);
    const int flush = b.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      s.next_out = b.out.get() + b.out_len;
      s.avail_out = static_cast<uInt>(b.out_cap - b.out_len);
      rc = deflate(&s, flush);
      b.out_len = b.out_cap - s.avail_out;
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        b.error = std::string("Compression failed: ") + (s.msg ? s.msg : "deflate error");
        return;
      }
      if (s.avail_out != 0 && (flush != Z_FINISH || rc == Z_STREAM_END)) return;
      // The bound was too small after all: grow the output and go on.
      size_t cap = b.out_cap * 2;
      std::unique_ptr<unsigned char[]> bigger(new unsigned char[cap]);
      std::memcpy(bigger.get(), b.out.get(), b.out_len);
      b.out = std::move(bigger);
      b.out_cap = cap;
    }
  }

  Sink& out_;
  const int level_;
  const size_t block_size_;
  const size_t max_blocks_;

  std::mutex mutex_;
  std::condition_variable work_cv_, done_cv_;
  bool stop_ = false;
  std::vector<std::unique_ptr<Block>> blocks_;
  std::vector<Block*> free_;
  std::deque<Block*> todo_;   // waiting for a worker
  std::deque<Block*> order_;  // submitted and not yet written, in input order
  std::vector<std::thread> workers_;

  // Owned by the caller's thread.
  Block* current_ = nullptr;
  std::unique_ptr<unsigned char[]> tail_;
  size_t tail_len_ = 0;
  uLong adler_ = 1;
  bool header_written_ = false;
};

// ---------------------------------------------------------------------------------------------

ZlibSink::ZlibSink(Sink& out, CompressorOptions options) {
  int threads = options.threads > 0 ? options.threads : ProcessorCount();
  if (threads <= 1) {
    impl_ = std::make_unique<SingleStream>(out, options.level);
  } else {
    impl_ = std::make_unique<Parallel>(out, threads, options.block_size, options.level);
  }
}

ZlibSink::~ZlibSink() = default;

void ZlibSink::Append(std::string_view bytes) {
  if (failed_ || finished_) throw IoError("The compressed stream is closed");
  try {
    impl_->Append(bytes);
  } catch (...) {
    failed_ = true;
    throw;
  }
}

void ZlibSink::Finish() {
  if (failed_ || finished_) throw IoError("The compressed stream is closed");
  finished_ = true;
  impl_->Finish();
}

uint64_t ZlibSink::bytes_in() const { return impl_->bytes_in; }
int ZlibSink::threads() const { return impl_->threads(); }

}  // namespace ab
