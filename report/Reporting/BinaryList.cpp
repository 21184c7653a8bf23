// The binary list section: each stream of the Binary table with its size and,
// for executables and libraries, its file version, read from a temporary
// copy of the stream beside the package.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "Common.h"
#include "HtmlText.h"
#include "PackagePaths.h"
#include "Sections.h"

namespace pellacor {

namespace {

// The temporary stream file while it is open.
class OpenStreamFile {
 public:
  OpenStreamFile() = default;
  OpenStreamFile(const OpenStreamFile&) = delete;
  OpenStreamFile& operator=(const OpenStreamFile&) = delete;
  ~OpenStreamFile() { Close(); }

  // Creates the file, or empties it when it is already ours; a file of
  // that name that is not ours is never opened (O_EXCL).
  void Open(const std::string& path, bool ours) {
    Close();
    int flags = O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW;
    if (!ours) flags |= O_EXCL;
    fd_ = open(path.c_str(), flags, 0600);
    if (fd_ < 0) throw CreateFileFailure(errno);
  }
  void WriteAll(const std::string& bytes) {
    if (fd_ < 0) {
      throw Failure(runtime_error::kBadFileNameOrNumber,
                    "Bad file name or number");
    }
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t wrote = pwrite(fd_, bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(done));
      if (wrote < 0) {
        if (errno == EINTR) continue;
        throw FileFailure(errno);
      }
      done += static_cast<size_t>(wrote);
    }
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace

void WriteBinaryListSection(ReportRun& run) {
  Database& database = run.database;
  run.SetCaption("Write binary resources information...");
  run.Step([&] { run.Write("<H2>Binary List</H2>"); });
  run.Step([&] { run.Write(kTableStart); });
  run.Step([&] { run.Write("<TR><TH>Name</TH><TH>Size</TH><TH>Version</TH></TR>"); });
  int32_t total = 0;
  View view;
  Record row;
  run.Step([&] { view = database.OpenView("SELECT Name,Data FROM Binary ORDER BY Name"); });
  run.Step([&] { view.Execute(); });

  TempStreamFile temp(run.package_path);
  std::string name, bytes, path, version;
  int size = 0;
  for (;;) {
    row = Record();
    run.Step([&] { row = view.Fetch(); });
    if (row.IsNothing()) break;
    run.Step([&] { name = row.StringData(1); });
    run.Step([&] { size = row.DataSize(2); });
    run.Step([&] { bytes = row.ReadStream(2, size); });
    run.Step([&] { path = temp.Path(); });
    OpenStreamFile file;
    run.Step([&] {
      file.Open(path, temp.ours());
      temp.SetOurs(true);
    });
    run.Step([&] { file.WriteAll(bytes); });
    file.Close();
    version = GetFileVersion(path);
    run.Step([&] {
      if (!temp.ours()) {
        // Never delete what this run did not create.
        throw Failure(runtime_error::kFileNotFound, "File not found");
      }
      DeleteFile(path);
      temp.SetOurs(false);
    });
    run.Step([&] { total = CheckedAdd(total, size); });
    run.Step([&] {
      run.Write("<TR><TD>" + HtmlText(name) + "</TD><TD ALIGN=RIGHT> " +
                std::to_string(size) + "</TD><TD>" + HtmlText(version) +
                "</TD></TR>");
    });
  }
  run.Step([&] {
    run.Write("<TR><TH>Total:</TH><TH ALIGN=RIGHT>" + std::to_string(total) +
              "</TH><TH> </TH></TR>");
  });
  row = Record();
  run.Step([&] { view.Close(); });
  view = View();
  run.Step([&] { run.Write("</TABLE>"); });
}

}  // namespace pellacor
