// Measurements for bench/backup/run.sh.
//
//   bench_backup single FILE
//     Inflates a backup file and deflates its script again as one single-thread level-9 zlib
//     stream: the reference size of the parallel compressor. Prints
//     "script=<bytes> file=<bytes> single=<bytes> time=<s>".
//   bench_backup compress MB THREADS
//     Compresses MB megabytes of generated dump-like text through the backup compressor into a
//     counting sink. Prints "bytes=<in> out=<out> time=<s> mbps=<MB/s> rss_kb=<peak RSS>", so
//     that runs of different sizes show whether memory stays flat.
//   bench_backup zlib FILE THREADS [BLOCK_KB]
//     Compresses a plain file through the backup compressor. Prints
//     "bytes=<in> out=<out> time=<s> cpu=<s> rss_kb=<peak RSS>".
//   bench_backup dump PORT DATABASE
//     Dumps the database of the root account on 127.0.0.1:PORT into a counting sink: the
//     dump's own cost without compression. Prints "bytes=<script> time=<s> cpu=<s>".
//   bench_backup password TEXT
//     Prints TEXT encrypted as Config.xml stores the database password.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "backup/sink.h"
#include "backup/zlib_sink.h"
#include "config/des_cipher.h"
#include "platform/db/connection.h"
#include "platform/db/dump_writer.h"
#include "platform/db/script_runner.h"
#include "platform/error.h"

namespace ab {
namespace {

class CountingSink : public Sink {
 public:
  void Append(std::string_view bytes) override { bytes_ += bytes.size(); }
  uint64_t bytes() const { return bytes_; }

 private:
  uint64_t bytes_ = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssKb() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int Single(const std::string& path) {
  auto start = std::chrono::steady_clock::now();
  db::ScriptReader reader(path);
  CountingSink out;
  ZlibSink zlib(out, {1, 0, 9});
  uint64_t script = 0;
  for (;;) {
    std::string_view piece = reader.Read();
    if (piece.empty()) break;
    script += piece.size();
    zlib.Append(piece);
  }
  zlib.Finish();
  std::printf("script=%llu file=%llu single=%llu time=%.1f\n",
              static_cast<unsigned long long>(script),
              static_cast<unsigned long long>(reader.size()),
              static_cast<unsigned long long>(out.bytes()), Seconds(start));
  return 0;
}

int Compress(uint64_t megabytes, int threads) {
  // A 4 MiB pool of dump-like lines, cycled with a changing row number so that no two
  // blocks are alike.
  std::string pool;
  uint64_t x = 88172645463325252ull;
  while (pool.size() < 4u << 20) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    pool += "(" + std::to_string(x % 1000000) + ",'\xD5\xC5" + std::to_string(x % 977) + "'," +
            std::to_string((x >> 20) % 10000) + "." + std::to_string((x >> 8) % 100) + ",'2024-0" +
            std::to_string(1 + x % 9) + "-1" + std::to_string(x % 10) + "'),";
  }
  CountingSink out;
  const uint64_t total = megabytes << 20;
  auto start = std::chrono::steady_clock::now();
  {
    ZlibSink zlib(out, {threads, 1 << 20, 9});
    uint64_t done = 0, round = 0;
    while (done < total) {
      std::string tag = "/*" + std::to_string(round++) + "*/";
      zlib.Append(tag);
      size_t n = static_cast<size_t>(std::min<uint64_t>(pool.size(), total - done));
      zlib.Append(std::string_view(pool).substr(0, n));
      done += n + tag.size();
    }
    zlib.Finish();
  }
  double t = Seconds(start);
  std::printf("bytes=%llu out=%llu time=%.2f mbps=%.1f rss_kb=%ld\n",
              static_cast<unsigned long long>(total), static_cast<unsigned long long>(out.bytes()),
              t, static_cast<double>(total) / 1e6 / t, PeakRssKb());
  return 0;
}

double CpuSeconds() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Dump(unsigned port, const std::string& database) {
  db::ConnectionSettings s;
  s.server = "127.0.0.1";
  s.port = port;
  s.password = "907358";
  s.database = database;
  db::Connection c(s);
  c.Open();
  CountingSink out;
  auto start = std::chrono::steady_clock::now();
  db::DumpDatabase(c, out);
  std::printf("bytes=%llu time=%.2f cpu=%.2f\n", static_cast<unsigned long long>(out.bytes()),
              Seconds(start), CpuSeconds());
  return 0;
}

int ZlibFile(const std::string& path, int threads, size_t block_kb) {
  db::ScriptReader reader(path);
  CountingSink out;
  auto start = std::chrono::steady_clock::now();
  uint64_t in = 0;
  {
    ZlibSink zlib(out, {threads, block_kb << 10, 9});
    for (;;) {
      std::string_view piece = reader.Read();
      if (piece.empty()) break;
      in += piece.size();
      zlib.Append(piece);
    }
    zlib.Finish();
  }
  double t = Seconds(start);
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  double cpu = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  std::printf("bytes=%llu out=%llu time=%.2f cpu=%.2f rss_kb=%ld\n",
              static_cast<unsigned long long>(in), static_cast<unsigned long long>(out.bytes()), t,
              cpu, u.ru_maxrss);
  return 0;
}

}  // namespace
}  // namespace ab

int main(int argc, char** argv) {
  try {
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "single" && argc == 3) return ab::Single(argv[2]);
    if (what == "zlib" && (argc == 4 || argc == 5)) {
      return ab::ZlibFile(argv[2], std::atoi(argv[3]),
                          argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 1024);
    }
    if (what == "dump" && argc == 4) {
      return ab::Dump(static_cast<unsigned>(std::atoi(argv[2])), argv[3]);
    }
    if (what == "password" && argc == 3) {
      std::printf("%s\n", ab::DES_EncryptHex(argv[2], ab::kCredentialKey).c_str());
      return 0;
    }
    if (what == "compress" && argc == 4) {
      return ab::Compress(std::strtoull(argv[2], nullptr, 10), std::atoi(argv[3]));
    }
    std::fprintf(
        stderr,
        "usage: bench_backup single FILE | compress MB THREADS | zlib FILE THREADS [BLOCK_KB] | "
        "dump PORT DATABASE | password TEXT\n");
    return 2;
  } catch (const ab::Exception& e) {
    std::fprintf(stderr, "bench_backup: %s\n", e.what());
    return 1;
  }
}
