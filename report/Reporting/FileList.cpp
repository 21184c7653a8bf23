// The file list section: a linked index of the folders files are installed
// into, then one table of all files grouped by folder, with counts and byte
// sums, and a legend of the attribute letters.
//
// The page is the one a folder-by-folder pass over the whole file table
// would write (that pass repeats every per-row failure once per folder), but
// the statement runs once, each directory is resolved once, and each folder
// visits only its own rows and the rows whose folder could not be resolved.
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <variant>

#include "Common.h"
#include "HtmlText.h"
#include "Lookups.h"
#include "Sections.h"

namespace pellacor {

namespace {

constexpr std::string_view kFolderStatement =
    "SELECT DISTINCT Component.Directory_ FROM File, Component WHERE "
    "File.Component_=Component.Component ORDER BY Component.Directory_";
constexpr std::string_view kFileStatement =
    "SELECT File.FileName,File.FileSize,File.Version,File.Language,"
    "File.Attributes,Component.Directory_ FROM File, Component WHERE "
    "File.Component_=Component.Component ORDER BY File.FileName";

template <typename T>
using Outcome = std::variant<T, Failure>;

// What reading one row of the file statement gave, step by step.
struct FileRow {
  Outcome<std::string> name{std::string()};
  Outcome<int> size{0};
  Outcome<std::string> version{std::string()};
  Outcome<std::string> language{std::string()};
  Outcome<int> attributes{0};
  Outcome<std::string> path{std::string()};  // the row's folder path
};

// The one run of the file statement, with the failures of its steps.
struct FileStatement {
  std::optional<Failure> open, execute, ending_fetch, close;
  std::vector<FileRow> rows;
};

template <typename T, typename Read>
Outcome<T> Capture(Read read) {
  try {
    return read();
  } catch (const Failure& failure) {
    return failure;
  }
}

template <typename Body>
std::optional<Failure> CaptureStep(Body body) {
  try {
    body();
    return std::nullopt;
  } catch (const Failure& failure) {
    return failure;
  }
}

FileStatement RunFileStatement(Database& database, DirectoryPaths& paths) {
  FileStatement result;
  View view;
  result.open = CaptureStep([&] { view = database.OpenView(std::string(kFileStatement)); });
  result.execute = CaptureStep([&] { view.Execute(); });
  for (;;) {
    Record row;
    result.ending_fetch = CaptureStep([&] { row = view.Fetch(); });
    if (row.IsNothing()) break;
    FileRow& file = result.rows.emplace_back();
    file.path = Capture<std::string>([&] { return paths.PathOf(row.StringData(6)); });
    file.name = Capture<std::string>([&] { return row.StringData(1); });
    file.size = Capture<int>([&] { return row.IntegerData(2); });
    file.version = Capture<std::string>([&] { return row.StringData(3); });
    file.language = Capture<std::string>([&] { return row.StringData(4); });
    file.attributes = Capture<int>([&] { return row.IntegerData(5); });
  }
  result.close = CaptureStep([&] { view.Close(); });
  return result;
}

std::string AttributeLetters(int attributes) {
  std::string letters;
  if (attributes & 0x1) letters += "R";
  if (attributes & 0x2) letters += "H";
  if (attributes & 0x4) letters += "S";
  if (attributes & 0x200) letters += "V";
  if (attributes & 0x400) letters += "C";
  return letters.empty() ? " " : letters;
}

// The section's running values; they carry over from row to row and from
// folder to folder, as a failed step leaves the previous value in force.
struct FileListState {
  int32_t total_size = 0;
  int32_t total_count = 0;
  int32_t folder_size = 0;
  int32_t folder_count = 0;
  std::string row_path;
  std::string name;
  int size = 0;
  std::string version;
  std::string language;
  int attributes = 0;
};

class FileTableWriter {
 public:
  FileTableWriter(ReportRun& run, const FileStatement& statement)
      : run_(run), statement_(statement) {
    std::optional<std::string> last_resolved;
    previous_resolved_.reserve(statement.rows.size());
    for (size_t i = 0; i < statement.rows.size(); ++i) {
      previous_resolved_.push_back(last_resolved);
      if (const auto* path = std::get_if<std::string>(&statement.rows[i].path)) {
        rows_of_folder_[*path].push_back(i);
        last_resolved = *path;
      } else {
        unresolved_rows_.push_back(i);
      }
    }
    last_resolved_ = last_resolved;
  }

  void WriteFolder(const std::string& folder, size_t position) {
    FileListState& s = state_;
    run_.Step([&] { s.folder_size = 0; });
    run_.Step([&] { s.folder_count = 0; });
    if (statement_.open) run_.WriteErrorLine(*statement_.open);
    if (statement_.execute) run_.WriteErrorLine(*statement_.execute);

    static const std::vector<size_t> kNone;
    auto found = rows_of_folder_.find(folder);
    const std::vector<size_t>& own = found != rows_of_folder_.end() ? found->second : kNone;
    size_t a = 0, b = 0;
    while (a < own.size() || b < unresolved_rows_.size()) {
      size_t index = 0;
      if (b == unresolved_rows_.size() ||
          (a < own.size() && own[a] < unresolved_rows_[b])) {
        index = own[a++];
      } else {
        index = unresolved_rows_[b++];
      }
      WriteRow(folder, position, index);
    }
    if (statement_.ending_fetch) run_.WriteErrorLine(*statement_.ending_fetch);
    if (statement_.close) run_.WriteErrorLine(*statement_.close);
  }

  const FileListState& state() const { return state_; }

 private:
  void WriteRow(const std::string& folder, size_t position, size_t index) {
    FileListState& s = state_;
    const FileRow& row = statement_.rows[index];
    if (const auto* failure = std::get_if<Failure>(&row.path)) {
      run_.WriteErrorLine(*failure);
      // The path of the row before stays in force: the last resolved row
      // before this one, or what the previous folder's pass ended with.
      if (previous_resolved_[index]) {
        s.row_path = *previous_resolved_[index];
      } else if (position > 0 && last_resolved_) {
        s.row_path = *last_resolved_;
      }
    } else {
      s.row_path = std::get<std::string>(row.path);
    }
    if (s.row_path != folder) return;

    Take(row.name, s.name);
    Take(row.size, s.size);
    Take(row.version, s.version);
    if (s.version.empty()) s.version.assign(1, ' ');
    Take(row.language, s.language);
    if (s.language.empty()) s.language.assign(1, ' ');
    Take(row.attributes, s.attributes);
    run_.Step([&] { s.total_size = CheckedAdd(s.total_size, s.size); });
    run_.Step([&] { s.total_count = CheckedAdd(s.total_count, 1); });
    run_.Step([&] { s.folder_size = CheckedAdd(s.folder_size, s.size); });
    run_.Step([&] { s.folder_count = CheckedAdd(s.folder_count, 1); });
    std::string letters = AttributeLetters(s.attributes);
    run_.Step([&] {
      run_.Write("<TR><TD>" + HtmlText(GetNamePart(s.name, false)) + "</TD><TD>" +
                 HtmlText(s.version) + "</TD><TD ALIGN=RIGHT>" +
                 std::to_string(s.size) + "</TD><TD>" + HtmlText(s.language) +
                 "</TD><TD>" + letters + "</TD></TR>");
    });
  }

  template <typename T>
  void Take(const Outcome<T>& outcome, T& value) {
    if (const auto* failure = std::get_if<Failure>(&outcome)) {
      run_.WriteErrorLine(*failure);
    } else {
      value = std::get<T>(outcome);
    }
  }

  ReportRun& run_;
  const FileStatement& statement_;
  std::unordered_map<std::string, std::vector<size_t>> rows_of_folder_;
  std::vector<size_t> unresolved_rows_;
  std::vector<std::optional<std::string>> previous_resolved_;
  std::optional<std::string> last_resolved_;
  FileListState state_;
};

}  // namespace

void WriteFileListSection(ReportRun& run) {
  Database& database = run.database;
  DirectoryPaths paths(database, /*target=*/true, /*short_names=*/false,
                       /*bracket_folders=*/true);
  run.SetCaption("Write files information...");
  run.Step([&] { run.Write("<H2>File List</H2>"); });

  std::vector<std::string> folders;
  std::unordered_set<std::string> known_folders;
  {
    View view;
    Record row;
    run.Step([&] { view = database.OpenView(std::string(kFolderStatement)); });
    run.Step([&] { view.Execute(); });
    std::string folder;
    for (;;) {
      row = Record();
      run.Step([&] { row = view.Fetch(); });
      if (row.IsNothing()) break;
      run.Step([&] { folder = row.StringData(1); });
      run.Step([&] { folder = paths.PathOf(folder); });
      if (known_folders.insert(folder).second) folders.push_back(folder);
    }
    row = Record();
    run.Step([&] { view.Close(); });
  }

  run.SetCaption("Write folder list...");
  if (folders.empty()) {
    run.Step([&] { run.Write(WarningLine("No files in this package!")); });
    return;
  }
  if (ProgressBar* bar = run.bar()) {
    bar->SetMin(0);
    bar->SetMax(static_cast<float>(folders.size()));
    bar->SetValue(0);
  }
  run.Step([&] { run.Write("<ul>"); });
  for (size_t position = 0; position < folders.size(); ++position) {
    run.Step([&] {
      run.Write("<li><a href='#FOLDER" + std::to_string(position) + "'>" +
                HtmlText(folders[position]) + "</a></li>");
    });
  }
  run.Step([&] { run.Write("</ul>"); });
  run.Step([&] { run.Write(kTableStart); });
  run.Step([&] {
    run.Write(
        "<TR><TH>File Name</TH><TH>Version</TH><TH>Size</TH><TH>Lang</TH>"
        "<TH>Attr</TH></TR>");
  });

  FileStatement statement = RunFileStatement(database, paths);
  FileTableWriter table(run, statement);
  for (size_t position = 0; position < folders.size(); ++position) {
    const std::string& folder = folders[position];
    if (run.has_label()) {
      run.SetCaption("Files in " + folder + "...");
      run.RepaintWindow();
    }
    if (ProgressBar* bar = run.bar()) bar->SetValue(static_cast<float>(position));
    run.Step([&] {
      run.Write("<TR><TD COLSPAN=5 ALIGN=LEFT><A NAME='FOLDER" +
                std::to_string(position) + "'><B>" + HtmlText(folder) +
                "</B></A></TD></TR>");
    });
    table.WriteFolder(folder, position);
    run.Step([&] {
      run.Write("<TR><TH ALIGN=RIGHT>Files:</TH><TH ALIGN=RIGHT>" +
                std::to_string(table.state().folder_count) +
                "</TH><TH ALIGN=RIGHT>" + std::to_string(table.state().folder_size) +
                "</TH><TH>&nbsp;</TH><TH>&nbsp;</TH></TR>");
    });
  }
  run.Step([&] {
    run.Write("<TR><TH ALIGN=RIGHT>Total:</TH><TH ALIGN=RIGHT>" +
              std::to_string(table.state().total_count) + "</TH><TH ALIGN=RIGHT>" +
              std::to_string(table.state().total_size) +
              "</TH><TH>&nbsp;</TH><TH>&nbsp;</TH></TR>");
  });
  for (const char* line :
       {"</TABLE>", "<BLOCKQUOTE>", "<SMALL>", "<B>Attributes:</B></BR>",
        "R - Read-Only</BR>", "H - Hidden</BR>", "S - System</BR>",
        "V - The file is vital for the proper operation of the component to "
        "which it belongs.</BR>",
        "C - The file contains a valid checksum. A checksum is required to "
        "repair a file that has become corrupted.</BR>",
        "</SMALL>", "</BLOCKQUOTE>"}) {
    run.Step([&] { run.Write(line); });
  }
}

}  // namespace pellacor
