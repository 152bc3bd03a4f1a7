// The backup subsystem: the parallel zlib compressor, the file sink, the purge, DoBackup against
// the real server, and the check of backup files.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "backup/backup_check.h"
#include "backup/backup_writer.h"
#include "backup/sink.h"
#include "backup/zlib_sink.h"
#include "config/config_file.h"
#include "config/connection_registry.h"
#include "platform/clock.h"
#include "platform/datetime.h"
#include "platform/db/script_runner.h"
#include "platform/error.h"
#include "platform/file.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::RunUnprivileged;
using testing::TempDir;
using testing::TestDatabase;

// Text shaped like a dump: INSERT rows with names, amounts and dates, varied but compressible.
std::string GeneratedText(size_t size) {
  std::string text;
  uint64_t x = 88172645463325252ull;
  auto next = [&] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  static const char* const kNames[] = {"\xD5\xC5\xC8\xFD", "\xC0\xEE\xCB\xC4", "\xCD\xF5\xCE\xE5",
                                       "\xD5\xD4\xC1\xF9", "\xB3\xC2\xC6\xDF"};
  while (text.size() < size) {
    uint64_t r = next();
    text += "INSERT INTO `membercard` VALUES (" + std::to_string(r % 1000000) + ",'" +
            kNames[r % 5] + std::to_string(r % 977) + "'," + std::to_string((r >> 20) % 10000) +
            "." + std::to_string((r >> 8) % 100) + ",'2024-0" + std::to_string(1 + r % 9) + "-1" +
            std::to_string(r % 10) + " 10:" + std::to_string(10 + r % 50) + ":00');\r\n";
  }
  text.resize(size);
  return text;
}

struct Inflated {
  bool one_stream = false;  // ended with Z_STREAM_END exactly at the last byte
  std::string text;
  std::string error;
};

Inflated Inflate(const std::string& packed) {
  Inflated r;
  z_stream s{};
  inflateInit(&s);
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  s.avail_in = static_cast<uInt>(packed.size());
  std::string buf(1 << 16, '\0');
  int rc;
  do {
    s.next_out = reinterpret_cast<Bytef*>(buf.data());
    s.avail_out = static_cast<uInt>(buf.size());
    rc = inflate(&s, Z_NO_FLUSH);
    r.text.append(buf.data(), buf.size() - s.avail_out);
  } while (rc == Z_OK);
  r.one_stream = rc == Z_STREAM_END && s.avail_in == 0;
  if (rc != Z_STREAM_END) r.error = s.msg ? s.msg : std::to_string(rc);
  inflateEnd(&s);
  return r;
}

std::string SingleStreamLevel9(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(text.data()), text.size(), 9);
  packed.resize(size);
  return packed;
}

uint32_t Trailer(const std::string& packed) {
  const auto* b = reinterpret_cast<const unsigned char*>(packed.data() + packed.size() - 4);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// Compresses `text`, appended in pieces of varying size.
std::string Compress(const std::string& text, CompressorOptions options) {
  StringSink out;
  {
    ZlibSink zlib(out, options);
    size_t pos = 0, step = 1;
    while (pos < text.size()) {
      size_t n = std::min(text.size() - pos, step);
      zlib.Append(std::string_view(text).substr(pos, n));
      pos += n;
      step = step * 7 % 20011 + 1;
    }
    zlib.Finish();
  }
  EXPECT_TRUE(out.finished) << "the sink written into is finished too";
  return out.data;
}

TEST(ZlibSinkTest, EveryThreadCountAndBlockSizeGivesOneStreamOfTheInput) {
  const std::string text = GeneratedText(3 * 1024 * 1024 + 12345);
  const uint32_t adler =
      adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()), text.size());
  for (int threads : {1, 2, 3, 8}) {
    for (size_t block : {size_t{1024 * 1024}, size_t{128 * 1024}, size_t{5000}}) {
      std::string packed = Compress(text, {threads, block, 9});
      std::string where = std::to_string(threads) + " threads, blocks of " + std::to_string(block);
      ASSERT_GE(packed.size(), 6u) << where;
      EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78) << where;
      EXPECT_EQ(
          (static_cast<unsigned char>(packed[0]) * 256 + static_cast<unsigned char>(packed[1])) %
              31,
          0)
          << where;
      EXPECT_EQ(Trailer(packed), adler) << where;
      Inflated r = Inflate(packed);
      EXPECT_TRUE(r.one_stream) << where << ": " << r.error;
      EXPECT_TRUE(r.text == text) << where << ": the inflated text differs";
    }
  }
}

TEST(ZlibSinkTest, TheParallelStreamIsWithinOnePercentOfASingleLevel9Stream) {
  const std::string text = GeneratedText(8 * 1024 * 1024);
  const std::string single = SingleStreamLevel9(text);
  EXPECT_EQ(Compress(text, {1, 0, 9}), single) << "one thread is one plain deflate stream";
  for (int threads : {2, 4}) {
    for (size_t block : {size_t{1024 * 1024}, size_t{128 * 1024}}) {
      size_t size = Compress(text, {threads, block, 9}).size();
      EXPECT_LE(static_cast<double>(size), 1.01 * static_cast<double>(single.size()))
          << threads << " threads, blocks of " << block << ": " << size << " against "
          << single.size();
    }
  }
}

TEST(ZlibSinkTest, AnEmptyInputIsAValidStream) {
  for (int threads : {1, 2}) {
    Inflated r = Inflate(Compress("", {threads, 1024 * 1024, 9}));
    EXPECT_TRUE(r.one_stream) << threads << " threads: " << r.error;
    EXPECT_EQ(r.text, "");
  }
}

// Fails on the n-th Append, as a full disk would.
class FailingSink : public Sink {
 public:
  explicit FailingSink(int fail_at) : fail_at_(fail_at) {}
  void Append(std::string_view) override {
    if (++calls_ >= fail_at_) throw IoError("Cannot write \"x.bak\": No space left on device");
  }
  void Finish() override { finished = true; }
  bool finished = false;

 private:
  int fail_at_;
  int calls_ = 0;
};

TEST(ZlibSinkTest, AFailingSinkStopsTheStreamWithItsError) {
  const std::string text = GeneratedText(4 * 1024 * 1024);
  for (int threads : {1, 2}) {
    FailingSink out(3);
    std::string message;
    {
      ZlibSink zlib(out, {threads, 128 * 1024, 9});
      try {
        for (size_t pos = 0; pos < text.size(); pos += 4096) {
          zlib.Append(std::string_view(text).substr(pos, 4096));
        }
        zlib.Finish();
      } catch (const IoError& e) {
        message = e.message();
      }
      EXPECT_THROW(zlib.Append("more"), IoError) << "a failed stream takes no more input";
    }
    EXPECT_NE(message.find("No space left"), std::string::npos) << threads << " threads";
    EXPECT_FALSE(out.finished);
  }
}

TEST(FileSinkTest, ANewFileHasExactlyTheModeAndAnOldOneIsEmptied) {
  TempDir dir;
  dir.Write("f.bak", "old contents");
  mode_t old_mask = ::umask(0);
  auto sink = FileSink::Create(dir.File("f.bak"), 0600);
  ::umask(old_mask);
  sink->Append("new");
  sink->Finish();
  EXPECT_EQ(dir.Read("f.bak"), "new");
  struct stat st;
  ASSERT_EQ(::stat(dir.File("f.bak").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(FileSinkTest, AFileBeingWrittenCannotBeOpenedByASecondWriter) {
  TempDir dir;
  auto first = FileSink::Create(dir.File("f"), 0600);
  first->Append("abc");
  EXPECT_THROW(FileSink::Create(dir.File("f"), 0600), IoError);
  first->Finish();
  EXPECT_EQ(dir.Read("f"), "abc");
}

// ---------------------------------------------------------------------------------------------
// Retention

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  DIR* d = ::opendir(folder.c_str());
  if (d == nullptr) return names;
  while (struct dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.insert(n);
  }
  ::closedir(d);
  return names;
}

DateTime At(int year, int month, int day, int hour, int minute, int second = 0) {
  return EncodeDateTime({year, month, day, hour, minute, second, 0});
}

TEST(PurgeTest, OnlyTheDateCharactersAndTheExtensionDecide) {
  TempDir dir;
  for (const char* name :
       {"2024-03-13_10-00.bak", "2024-03-14_10-00.BAK", "notes.txt", "2024-03-1x_10-00.bak",
        "2024-03-01_backup-copy.bak", "2024-03-15_09-05.bak", "2024-03-12_10-00.bak.txt",
        ".2024-03-01_10-00.bak.partial", "2023-12-31_23-59.bak"}) {
    dir.Write(name, "x");
  }
  ASSERT_EQ(::mkdir(dir.File("2024-03-02_10-00.bak").c_str(), 0755), 0);
  FakeClock clock(At(2024, 3, 15, 10, 0));

  PurgeOldBackups(dir.path(), 2, clock);

  EXPECT_EQ(Entries(dir.path()),
            (std::set<std::string>{"2024-03-14_10-00.BAK", "notes.txt", "2024-03-1x_10-00.bak",
                                   "2024-03-15_09-05.bak", "2024-03-12_10-00.bak.txt",
                                   ".2024-03-01_10-00.bak.partial", "2024-03-02_10-00.bak"}))
      << "13 March and earlier go; a folder cannot be deleted and the listing goes on";
}

TEST(PurgeTest, ARetentionOfOneDayKeepsOnlyTodaysBackups) {
  TempDir dir;
  for (const char* name :
       {"2024-03-14_23-59.bak", "2024-03-15_00-00.bak", "2024-03-15_09-05.bak"}) {
    dir.Write(name, "x");
  }
  PurgeOldBackups(dir.path(), 1, FakeClock(At(2024, 3, 15, 9, 10)));
  EXPECT_EQ(Entries(dir.path()),
            (std::set<std::string>{"2024-03-15_00-00.bak", "2024-03-15_09-05.bak"}));
}

TEST(PurgeTest, AFolderThatCannotBeListedRaises) {
  TempDir dir;
  EXPECT_THROW(PurgeOldBackups(dir.File("missing"), 2, FakeClock(At(2024, 3, 15, 9, 10))), IoError);
}

TEST(StaleFilesTest, AnAbandonedTemporaryFileGoesAndOneBeingWrittenStays) {
  TempDir dir;
  dir.Write(TemporaryBackupName("2024-03-14_10-00"), "crashed");
  dir.Write(".hidden", "x");
  dir.Write(".2024-03-14_10-00.bak", "x");
  auto running = FileSink::Create(dir.File(TemporaryBackupName("2024-03-15_09-05")), 0600);
  RemoveStaleBackupFiles(dir.path());
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{".hidden", ".2024-03-14_10-00.bak",
                                                        ".2024-03-15_09-05.bak.partial"}));
}

// ---------------------------------------------------------------------------------------------
// DoBackup

class DoBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.Exec(
        "INSERT INTO CardType (name, price, image) VALUES ('\xD5\x5C', 0.1, x'00275C'), "
        "('b', 1e308, NULL)");
    db_.Exec("INSERT INTO MemberCard (serial, money, activeDate) VALUES ('1', 12.5, NOW())");
    db_.Exec("CREATE VIEW Cards AS SELECT serial, money FROM MemberCard");
    db_.UseThroughRegistry();
    folder_ = backups_.path() + "shop/backups";
    SetFolder(folder_);
  }
  static void SetFolder(const std::string& folder) {
    TConfigFile& config = TConfigFile::GetInstance();
    config.SelectSection("Database");
    config.WriteString("BackupPath", folder);
  }
  static BackupResult Backup(DateTime now, const BackupProgressFn& progress = {}) {
    FakeClock clock(now);
    return DoBackup(2, progress, TConfigFile::GetInstance(), clock);
  }
  // The script inside a backup file.
  static std::string Script(const std::string& path) {
    Inflated r = Inflate(ReadFile(path));
    EXPECT_TRUE(r.one_stream) << path << ": " << r.error;
    return r.text;
  }

  TestDatabase db_;
  TempDir backups_;
  std::string folder_;
};

TEST_F(DoBackupTest, ABackupIsOneZlibStreamOfTheScriptInAPrivateFileNamedAfterTheMinute) {
  std::vector<std::string> progress;
  BackupResult r = Backup(At(2024, 3, 15, 9, 5, 30), [&](int maximum, int position) {
    progress.push_back(std::to_string(position) + "/" + std::to_string(maximum));
  });
  ASSERT_TRUE(r.written) << r.error;
  EXPECT_EQ(r.path, folder_ + "/2024-03-15_09-05.bak");
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"2024-03-15_09-05.bak"});
  struct stat st;
  ASSERT_EQ(::stat(r.path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "the file holds every member's data";
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), r.file_bytes);

  std::string script = Script(r.path);
  EXPECT_EQ(script.size(), r.script_bytes);
  EXPECT_NE(script.find("INSERT INTO `cardtype` VALUES (1,'\xD5\x5C',0,0.1,0,0,NULL,X'00275C'"),
            std::string::npos);
  BackupCheck check = CheckBackupFile(r.path);
  EXPECT_TRUE(check.ok) << check.problem;
  EXPECT_EQ(check.database, db_.name());

  // 16 membership tables and one view: (0, 0) first, then one report per object.
  std::vector<std::string> expected = {"0/0"};
  for (int i = 0; i < 17; ++i) expected.push_back(std::to_string(i) + "/16");
  EXPECT_EQ(progress, expected);
}

TEST_F(DoBackupTest, ARestoredBackupGivesBackTheSameTables) {
  BackupResult r = Backup(At(2024, 3, 15, 9, 5));
  ASSERT_TRUE(r.written) << r.error;
  auto sums = [&] {
    std::string all;
    for (const char* t : {"CardType", "MemberCard", "MemberInfo"}) {
      all += db_.admin().OpenQuery(std::string("CHECKSUM TABLE ") + t)->RawAt(1) + " ";
    }
    return all;
  };
  std::string expected = sums();
  db_.Exec("DROP DATABASE `" + db_.name() + "`");
  db::Connection restorer(testing::ServerSettings());
  db::RunScriptFile(restorer, r.path);
  db_.Exec("USE `" + db_.name() + "`");
  EXPECT_EQ(sums(), expected);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM Cards"), 1);
}

TEST_F(DoBackupTest, TwoRunsInOneMinuteLeaveOneFileHoldingTheLaterDump) {
  ASSERT_TRUE(Backup(At(2024, 3, 15, 9, 5, 1)).written);
  db_.Exec("INSERT INTO CardType (name) VALUES ('later')");
  BackupResult second = Backup(At(2024, 3, 15, 9, 5, 59));
  ASSERT_TRUE(second.written) << second.error;
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"2024-03-15_09-05.bak"});
  EXPECT_NE(Script(second.path).find("'later'"), std::string::npos);
}

TEST_F(DoBackupTest, ADumpThatFailsHalfWayLeavesNoFileButThePurgeStands) {
  CreateDirectories(folder_);
  std::string old = folder_ + "/2024-03-01_10-00.bak";
  FileSink::Create(old, 0600)->Finish();
  unsigned long victim = GetThreadConnection(false)->ServerThreadId();
  bool killed = false;
  BackupResult r = Backup(At(2024, 3, 15, 9, 5), [&](int, int position) {
    if (position == 3 && !killed) {
      killed = true;
      db_.Exec("KILL CONNECTION " + std::to_string(victim));
    }
  });
  EXPECT_TRUE(killed);
  EXPECT_FALSE(r.written);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(Entries(folder_), std::set<std::string>{}) << "no backup, no temporary file, and "
                                                          "the purged backup stays purged";
}

TEST_F(DoBackupTest, WithoutADatabaseConnectionTheDumpFailsAndLeavesNoFile) {
  TConfigFile& config = TConfigFile::GetInstance();
  config.SelectSection("Database");
  config.WriteString("Port", "1");
  ConnectionRegistry::Instance().ReleaseAllConnections();
  BackupResult r = Backup(At(2024, 3, 15, 9, 5));
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.error, "No database connection");
  EXPECT_EQ(Entries(folder_), std::set<std::string>{});
}

TEST_F(DoBackupTest, TheLeftOverOfACrashedRunIsRemoved) {
  CreateDirectories(folder_);
  std::string stale = folder_ + "/" + TemporaryBackupName("2024-03-14_22-00");
  FileSink::Create(stale, 0600)->Append("half a backup");
  ASSERT_TRUE(Backup(At(2024, 3, 15, 9, 5)).written);
  EXPECT_EQ(Entries(folder_), std::set<std::string>{"2024-03-15_09-05.bak"});
}

TEST_F(DoBackupTest, AFolderThatCannotBeCreatedOrWrittenRaisesBeforeTheDump) {
  TempDir place;
  ASSERT_EQ(::chmod(place.path().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(place.File("locked").c_str(), 0555), 0);
  for (const std::string& folder : {place.File("locked/new/backups"), place.File("locked")}) {
    SetFolder(folder);
    int status = RunUnprivileged([&] {
      bool reported = false;
      try {
        (void)Backup(At(2024, 3, 15, 9, 5), [&](int, int) { reported = true; });
      } catch (const IoError&) {
        return reported ? 2 : 0;
      }
      return 1;
    });
    EXPECT_EQ(status, 0) << folder << ": 1 means no error was raised, 2 that the dump started";
    EXPECT_EQ(Entries(place.File("locked")), std::set<std::string>{}) << folder;
  }
}

// ---------------------------------------------------------------------------------------------
// The check of backup files

TEST(BackupCheckTest, OnlyACompleteStreamOfABackupScriptPasses) {
  TempDir dir;
  const std::string good =
      "-- dump\r\n"
      "/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;\r\n"
      "/*!40101 SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS */;\r\n"
      "/*!40101 SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION */;\r\n"
      "/*!40101 SET NAMES gbk */;\r\n"
      "/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0 */;\r\n"
      "USE mysql;\r\nDROP DATABASE IF EXISTS `shop`;\r\nCREATE DATABASE `shop`;\r\n"
      "USE `shop`;\r\nINSERT INTO t VALUES ('\xD5\x5C;');\r\n"
      "/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */;\r\n"
      "/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */;\r\n"
      "/*!40101 SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS */;\r\n"
      "/*!40101 SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION */;\r\n";
  const std::string packed = SingleStreamLevel9(good);
  std::string bad_check = packed;
  bad_check.back() ^= 1;
  std::string no_end = good.substr(0, good.rfind("/*!40101 SET COLLATION"));
  std::string bare_lf = good;
  bare_lf.replace(bare_lf.find("USE mysql;\r\n"), 12, "USE mysql;\n");
  struct Case {
    std::string name, bytes, problem;
  } cases[] = {
      {"good.bak", packed, ""},
      {"truncated.bak", packed.substr(0, packed.size() - 3), "truncated"},
      {"checksum.bak", bad_check, "incorrect data check"},
      {"trailing.bak", packed + packed, "bytes after the end"},
      {"plain.sql", good, "not a zlib stream"},
      {"no-end.bak", SingleStreamLevel9(no_end), "does not end with the restoring settings"},
      {"no-header.bak", SingleStreamLevel9(good.substr(9)), "header comments"},
      {"bare-lf.bak", SingleStreamLevel9(bare_lf), "does not end in CR LF"},
      {"names.bak",
       SingleStreamLevel9(good.substr(0, 9) +
                          good.substr(good.find("/*!40101 SET @OLD_CHARACTER_SET_RESULTS"))),
       "statement 1"},
  };
  for (const auto& c : cases) {
    dir.Write(c.name, c.bytes);
    BackupCheck check = CheckBackupFile(dir.File(c.name));
    EXPECT_EQ(check.ok, c.problem.empty()) << c.name << ": " << check.problem;
    EXPECT_NE(check.problem.find(c.problem), std::string::npos) << c.name << ": " << check.problem;
  }
  BackupCheck check = CheckBackupFile(dir.File("good.bak"));
  EXPECT_EQ(check.database, "shop");
  EXPECT_EQ(check.statements, 14u);
  EXPECT_EQ(check.script_bytes, good.size());
  EXPECT_FALSE(CheckBackupFile(dir.File("missing.bak")).ok);
}

}  // namespace
}  // namespace ab
