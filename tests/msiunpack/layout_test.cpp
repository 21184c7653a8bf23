// Where files land and where their bytes come from, on packages made here:
// each case is a package (rows, cabinets, files beside it) and the image
// an engineer expects from it.
#include <gtest/gtest.h>

#include <utime.h>

#include <functional>

#include "unpack_support.h"

namespace unpack_test {
namespace {

constexpr const char* kCabTimeText = "2001-09-09 01:46:40";

struct LayoutCase {
  std::string name;
  std::function<PackageRows(const fs::path& beside)> make;  // may write files beside the package
  int exit_status;
  std::vector<std::string> image;                      // TreeListing of DIR
  std::vector<std::string> errors;                     // texts each found on standard error
  std::map<std::string, std::string> contents = {};    // path below DIR -> bytes
};

std::string Line(const std::string& path, size_t size, const std::string& when = kCabTimeText) {
  return path + "\t" + std::to_string(size) + "\t" + when;
}

// Files of component Main in folder SourceDir/`default_dir`.
PackageRows OneFolder(const std::string& default_dir, std::vector<std::string> files,
                      std::vector<std::string> media, std::map<std::string, std::string> streams = {}) {
  return {{"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\t" + default_dir}, {"Main\tAPP"}, files, media,
          streams};
}

// A file beside the package, dated kCabTime.
void Beside(const fs::path& path, const std::string& bytes) {
  WriteBytes(path, bytes);
  utimbuf t{kCabTime, kCabTime};
  ::utime(path.c_str(), &t);
}

std::vector<LayoutCase> Cases() {
  return {
      {"folder_and_file_names_use_the_target_long_names",
       [](const fs::path&) {
         return PackageRows{{"TARGETDIR\t\tSourceDir", "A\tTARGETDIR\tshort|Long Name",
                             "B\tA\ttgt|Target Long:src|Source Long", "C\tB\t.", "D\tA\tplain",
                             "E\tTARGETDIR\tonly|"},
                            {"CA\tA", "CC\tC", "CD\tD", "CE\tE"},
                            {"f1\tCA\tfirst.txt|First File.txt\t1\t0\t1", "f2\tCC\tf2.txt\t2\t0\t2",
                             "f3\tCD\tF3.TXT\t3\t0\t3", "f4\tCE\tf4\t4\t0\t4"},
                            {"1\t4\t#main.cab"},
                            {{"main.cab", GcabCabinet({{"f1", "1"}, {"f2", "22"}, {"f3", "333"}, {"f4", "4444"}},
                                                      kCabTime)}}};
       },
       0,
       {"SourceDir/", "SourceDir/Long Name/", Line("SourceDir/Long Name/First File.txt", 1),
        "SourceDir/Long Name/Target Long/", Line("SourceDir/Long Name/Target Long/f2.txt", 2),
        "SourceDir/Long Name/plain/", Line("SourceDir/Long Name/plain/F3.TXT", 3), "SourceDir/only/",
        Line("SourceDir/only/f4", 4)},
       {}},
      {"a_folder_whose_parent_is_missing_roots_beside_SourceDir",
       [](const fs::path&) {
         return PackageRows{{"TARGETDIR\t\tSourceDir", "ORPHAN\tGhostParent\tsub|Sub Folder"},
                            {"CO\tORPHAN", "CN\tNoSuchFolder"},
                            {"o\tCO\to.txt\t1\t0\t1", "n\tCN\tn.txt\t2\t0\t2"},
                            {"1\t2\t#main.cab"},
                            {{"main.cab", GcabCabinet({{"o", "o"}, {"n", "nn"}}, kCabTime)}}};
       },
       0,
       {"GhostParent/", "GhostParent/Sub Folder/", Line("GhostParent/Sub Folder/o.txt", 1), "NoSuchFolder/",
        Line("NoSuchFolder/n.txt", 2)},
       {}},
      {"files_on_one_path_keep_sequence_order_and_later_ones_get_duplicate_suffixes",
       [](const fs::path&) {
         return OneFolder("app",
                          {"third\tMain\tsame.txt\t3\t0\t30", "first\tMain\tsame.txt\t1\t0\t10",
                           "second\tMain\tS|SAME.TXT\t2\t0\t20", "other\tMain\tother.txt\t4\t0\t40"},
                          {"1\t40\t#main.cab"},
                          {{"main.cab", GcabCabinet({{"first", "1"}, {"second", "22"}, {"third", "333"},
                                                     {"other", "4444"}}, kCabTime)}});
       },
       0,
       {"SourceDir/", "SourceDir/app/", Line("SourceDir/app/SAME.TXT.duplicate1", 2),
        Line("SourceDir/app/other.txt", 4), Line("SourceDir/app/same.txt", 1),
        Line("SourceDir/app/same.txt.duplicate2", 3)},
       {},
       {{"SourceDir/app/same.txt", "1"}, {"SourceDir/app/same.txt.duplicate2", "333"}}},
      {"an_external_cabinet_is_read_beside_the_package",
       [](const fs::path& beside) {
         WriteBytes(beside / "ext.cab", GcabCabinet({{"x", "hello"}}, kCabTime));
         return OneFolder("app", {"x\tMain\tx.bin\t5\t0\t1"}, {"1\t1\text.cab"});
       },
       0,
       {"SourceDir/", "SourceDir/app/", Line("SourceDir/app/x.bin", 5)},
       {},
       {{"SourceDir/app/x.bin", "hello"}}},
      {"a_file_continued_in_the_next_cabinet_of_a_set_is_joined",
       [](const fs::path& beside) {
         const auto set = CabinetSet({{"a", "AAAA"}, {"b", "0123456789"}}, {9}, {"part1.cab", "part2.cab"},
                                     {{"c", "CCC"}});
         WriteBytes(beside / "part2.cab", set[1]);
         return OneFolder("app",
                          {"a\tMain\ta.txt\t4\t0\t1", "b\tMain\tb.txt\t10\t0\t2", "c\tMain\tc.txt\t3\t0\t3"},
                          {"1\t2\t#part1.cab", "2\t3\tpart2.cab"}, {{"part1.cab", set[0]}});
       },
       0,
       {"SourceDir/", "SourceDir/app/", Line("SourceDir/app/a.txt", 4, "2001-02-03 04:05:06"),
        Line("SourceDir/app/b.txt", 10, "2001-02-03 04:05:06"),
        Line("SourceDir/app/c.txt", 3, "2001-02-03 04:05:06")},
       {},
       {{"SourceDir/app/b.txt", "0123456789"}, {"SourceDir/app/c.txt", "CCC"}}},
      {"uncompressed_files_come_from_the_source_image_by_their_source_names",
       [](const fs::path& beside) {
         Beside(beside / "Source Name" / "Uncompressed.txt", "UUU");
         Beside(beside / "Source Name" / "sub" / "v.txt", "VV");
         return PackageRows{{"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tt|Target Name:s|Source Name",
                             "SUB\tAPP\tsub"},
                            {"Main\tAPP", "Sub\tSUB"},
                            {"u\tMain\tu.txt|Uncompressed.txt\t3\t8192\t1", "v\tSub\tv.txt\t2\t8192\t2",
                             "gone\tMain\tgone.txt\t1\t8192\t3", "z\tMain\tz.txt\t1\t0\t4"},
                            {"1\t4\t#main.cab"},
                            {{"main.cab", GcabCabinet({{"z", "z"}}, kCabTime)}}};
       },
       1,
       {"SourceDir/", "SourceDir/Target Name/", Line("SourceDir/Target Name/Uncompressed.txt", 3),
        "SourceDir/Target Name/sub/", Line("SourceDir/Target Name/sub/v.txt", 2),
        Line("SourceDir/Target Name/z.txt", 1)},
       {"gone: source file ", "Source Name/gone.txt: No such file or directory"},
       {{"SourceDir/Target Name/Uncompressed.txt", "UUU"}}},
      {"the_word_count_decides_compression_and_short_source_names",
       [](const fs::path& beside) {
         Beside(beside / "s" / "u.txt", "uuu");
         PackageRows rows = OneFolder("t|Target Name:s|Source Name",
                                      {"u\tMain\tu.txt|Long U.txt\t3\t0\t1", "k\tMain\tk.txt\t1\t16384\t2"},
                                      {"1\t2\t#main.cab"}, {{"main.cab", GcabCabinet({{"k", "k"}}, kCabTime)}});
         rows.word_count = 1;  // short source names, uncompressed unless a file says otherwise
         return rows;
       },
       0,
       {"SourceDir/", "SourceDir/Target Name/", Line("SourceDir/Target Name/Long U.txt", 3),
        Line("SourceDir/Target Name/k.txt", 1)},
       {},
       {{"SourceDir/Target Name/Long U.txt", "uuu"}, {"SourceDir/Target Name/k.txt", "k"}}},
      {"a_file_in_no_cabinet_is_reported_and_the_others_are_unpacked",
       [](const fs::path&) {
         return OneFolder("app", {"here\tMain\there.txt\t1\t0\t1", "lost\tMain\tlost.txt\t1\t0\t2"},
                          {"1\t2\t#main.cab"}, {{"main.cab", GcabCabinet({{"here", "h"}}, kCabTime)}});
       },
       1,
       {"SourceDir/", "SourceDir/app/", Line("SourceDir/app/here.txt", 1)},
       {"lost: not found in any cabinet of the package"}},
      {"a_missing_external_cabinet_is_named",
       [](const fs::path&) { return OneFolder("app", {"x\tMain\tx.txt\t1\t0\t1"}, {"1\t1\tabsent.cab"}); },
       1,
       {},
       {"cabinet absent.cab: No such file or directory", "x: not found in any cabinet"}},
  };
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, UnpacksTheExpectedImage) {
  const LayoutCase& c = GetParam();
  TempDir dir;
  MakePackage(dir / "product.msi", c.make(dir.path()));
  const RunResult run = RunUnpack({"product.msi", "image"}, dir.path());
  EXPECT_EQ(run.exit_code, c.exit_status) << run.err;
  for (const std::string& error : c.errors) EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
  if (c.errors.empty()) {
    EXPECT_EQ(run.err, "");
  }
  EXPECT_EQ(TreeListing(dir / "image"), c.image);
  for (const auto& [path, bytes] : c.contents) EXPECT_EQ(ReadBytes(dir / "image" / path), bytes) << path;

  // --list shows the same paths without unpacking anything.
  std::stringstream listed(RunUnpack({"--list", "product.msi"}, dir.path()).out);
  for (std::string line; c.exit_status == 0 && std::getline(listed, line);)
    EXPECT_TRUE(fs::is_regular_file(dir / "image" / line.substr(0, line.find('\t')))) << line;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LayoutTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace unpack_test
