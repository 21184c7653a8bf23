// Writes the .idt tables of a big, realistic product package: 2,000
// directories, 8,000 components, 40,000 files, with features, feature
// components, properties, media and upgrade rows. The same arguments give
// the same files byte for byte.
//
//   make_big_package OUTPUT_FOLDER [SCALE]
//
// SCALE (default 1) multiplies the three counts, for smaller or bigger runs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class Random {  // SplitMix64: portable and fixed, unlike std:: distributions
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t bound) { return next() % bound; }

 private:
  uint64_t state_;
};

const char* const kWords[] = {"alder", "brook", "cinder", "delta", "ember", "fjord", "garnet", "heron",
                              "island", "juniper", "kestrel", "lumen", "meadow", "nectar", "orchid",
                              "pebble", "quartz", "raven", "sable", "thistle", "umber", "vessel",
                              "willow", "xenon", "yarrow", "zephyr"};
const char* const kExtensions[] = {"dll", "exe", "txt", "xml", "png", "dat", "json", "config", "ico", "chm"};

std::string word(Random& r) { return kWords[r.below(std::size(kWords))]; }

std::string padded(uint64_t n, int width) {
  std::string s = std::to_string(n);
  return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

std::string guid(Random& r) {
  static const char hex[] = "0123456789ABCDEF";
  std::string g = "{";
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) g += '-';
    g += hex[r.below(16)];
  }
  return g + "}";
}

class Table {
 public:
  Table(const std::filesystem::path& folder, const std::string& name, const std::string& columns,
        const std::string& types, const std::string& keys)
      : out_(folder / (name + ".idt"), std::ios::binary) {
    out_ << columns << "\r\n" << types << "\r\n" << name << "\t" << keys << "\r\n";
  }
  void row(const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) out_ << (i ? "\t" : "") << fields[i];
    out_ << "\r\n";
  }
  bool ok() const { return static_cast<bool>(out_); }

 private:
  std::ofstream out_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make_big_package OUTPUT_FOLDER [SCALE]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const double scale = argc == 3 ? std::atof(argv[2]) : 1.0;
  if (!(scale > 0)) {
    std::fprintf(stderr, "make_big_package: SCALE must be a positive number\n");
    return 2;
  }
  std::filesystem::create_directories(folder);
  const int directories = static_cast<int>(2000 * scale);
  const int components = static_cast<int>(8000 * scale);
  const int files = static_cast<int>(40000 * scale);
  const int features = 60;
  Random r(20261207);

  Table directory(folder, "Directory", "Directory\tDirectory_Parent\tDefaultDir", "s72\tS72\tl255", "Directory");
  directory.row({"TARGETDIR", "", "SourceDir"});
  directory.row({"ProgramFilesFolder", "TARGETDIR", "."});
  directory.row({"INSTALLDIR", "ProgramFilesFolder", "BIGAPP|Big Application"});
  std::vector<std::string> dir_keys;
  for (int i = 0; i < directories; ++i) {
    std::string key = "dir" + padded(i, 5) + "_" + word(r);
    // a tree: parents among the folders made so far, shallow near the top
    std::string parent = dir_keys.empty() || r.below(8) == 0 ? "INSTALLDIR" : dir_keys[r.below(dir_keys.size())];
    std::string long_name = word(r) + " " + word(r) + " " + std::to_string(i);
    directory.row({key, parent, "DIR" + padded(i, 5) + "|" + long_name});
    dir_keys.push_back(key);
  }

  Table feature(folder, "Feature", "Feature\tFeature_Parent\tTitle\tDescription\tDisplay\tLevel\tDirectory_\tAttributes",
                "s38\tS38\tL64\tL255\tI2\ti2\tS72\ti2", "Feature");
  std::vector<std::string> feature_keys;
  for (int i = 0; i < features; ++i) {
    std::string key = "Feat" + padded(i, 3);
    feature.row({key, i == 0 ? "" : "Feat" + padded(r.below(i), 3), "Feature " + word(r) + " " + std::to_string(i),
                 i % 3 == 0 ? "" : "Installs the " + word(r) + " parts.", std::to_string(2 * i + 1), i % 5 ? "1" : "3",
                 "INSTALLDIR", "0"});
    feature_keys.push_back(key);
  }

  Table component(folder, "Component", "Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath",
                  "s72\tS38\ts72\ti2\tS255\tS72", "Component");
  Table feature_components(folder, "FeatureComponents", "Feature_\tComponent_", "s38\ts72", "Feature_\tComponent_");
  Table file(folder, "File", "File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence",
             "s72\ts72\tl255\ti4\tS72\tS20\tI2\ti4", "File");
  // files are spread unevenly over components, as in real products
  std::vector<int> per_component(components, 0);
  for (int i = 0; i < files; ++i) ++per_component[i < components ? i : r.below(components)];
  int file_number = 0;
  for (int c = 0; c < components; ++c) {
    std::string key = "cmp" + padded(c, 5) + "_" + word(r);
    std::string first_file = "fil" + padded(file_number, 6);
    component.row({key, guid(r), dir_keys[r.below(dir_keys.size())], r.below(4) ? "0" : "256",
                   r.below(10) ? "" : "VersionNT >= 601", first_file});
    feature_components.row({feature_keys[r.below(feature_keys.size())], key});
    for (int f = 0; f < per_component[c]; ++f, ++file_number) {
      std::string ext = kExtensions[r.below(std::size(kExtensions))];
      std::string name = word(r) + "_" + word(r) + "_" + std::to_string(file_number) + "." + ext;
      bool versioned = ext == "dll" || ext == "exe";
      file.row({"fil" + padded(file_number, 6), key, "F" + padded(file_number, 6) + "." + ext.substr(0, 3) + "|" + name,
                std::to_string(100 + r.below(5000000)),
                versioned ? std::to_string(1 + r.below(9)) + "." + std::to_string(r.below(20)) + "." +
                                std::to_string(r.below(500)) + ".0"
                          : "",
                versioned ? (r.below(3) ? "1033" : "0") : "", r.below(6) ? "512" : "",
                std::to_string(file_number + 1)});
    }
  }

  Table property(folder, "Property", "Property\tValue", "s72\tl0", "Property");
  property.row({"ProductName", "Big Application"});
  property.row({"ProductVersion", "7.3.1200"});
  property.row({"Manufacturer", "Big Application Makers"});
  property.row({"ProductCode", guid(r)});
  property.row({"UpgradeCode", "{5B0C9A9E-3A34-4C8E-9E1B-0D7F6C2A1B00}"});
  property.row({"ProductLanguage", "1033"});
  property.row({"ALLUSERS", "1"});
  for (int i = 0; i < 40; ++i) property.row({"BIG_SETTING_" + std::to_string(i), word(r) + " " + word(r)});

  Table media(folder, "Media", "DiskId\tLastSequence\tDiskPrompt\tCabinet\tVolumeLabel\tSource",
              "i2\ti4\tL64\tS255\tS32\tS72", "DiskId");
  media.row({"1", std::to_string(files), "Disk 1", "#big.cab", "BIGAPP", ""});

  Table upgrade(folder, "Upgrade", "UpgradeCode\tVersionMin\tVersionMax\tLanguage\tAttributes\tRemove\tActionProperty",
                "s38\tS20\tS20\tS255\ti4\tS255\ts72", "UpgradeCode\tVersionMin\tVersionMax\tLanguage\tAttributes");
  upgrade.row({"{5B0C9A9E-3A34-4C8E-9E1B-0D7F6C2A1B00}", "1.0.0", "7.3.1200", "", "256", "", "OLDERFOUND"});
  upgrade.row({"{5B0C9A9E-3A34-4C8E-9E1B-0D7F6C2A1B00}", "7.3.1200", "", "", "2", "", "NEWERFOUND"});

  for (const Table* t : {&directory, &feature, &component, &feature_components, &file, &property, &media, &upgrade})
    if (!t->ok()) {
      std::fprintf(stderr, "make_big_package: cannot write the tables in %s\n", folder.c_str());
      return 1;
    }
  return 0;
}
