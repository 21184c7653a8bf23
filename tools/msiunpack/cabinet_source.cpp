#include "cabinet_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

extern "C" {
#include <mspack.h>
}

namespace msiunpack {
namespace {

// The name libmspack is given for the file being written; it never opens
// anything else for writing.
constexpr const char* kOutputName = "output:";

std::string LibraryMessage(int code) {
  switch (code) {
    case MSPACK_ERR_OPEN: return "cannot open the cabinet";
    case MSPACK_ERR_READ: return "the cabinet cannot be read (truncated?)";
    case MSPACK_ERR_WRITE: return "cannot write the file";
    case MSPACK_ERR_SEEK: return "the cabinet ends early";
    case MSPACK_ERR_NOMEMORY: return "out of memory";
    case MSPACK_ERR_SIGNATURE: return "not a cabinet";
    case MSPACK_ERR_DATAFORMAT: return "the cabinet is damaged";
    case MSPACK_ERR_CHECKSUM: return "a data block of the cabinet fails its checksum";
    case MSPACK_ERR_DECRUNCH: return "the cabinet's data cannot be decompressed";
    default: return "cabinet library error " + std::to_string(code);
  }
}

}  // namespace

struct CabinetLibrary::State {
  // libmspack sees this as its mspack_system; the callbacks find the rest
  // of the state behind it.
  struct System {
    mspack_system calls;
    State* state;
  } system{};
  mscab_decompressor* decompressor = nullptr;
  std::map<std::string, EmbeddedCabinet> embedded;
  // libmspack keeps the name it was given and opens it again to extract.
  std::deque<std::string> names;
  struct Part {
    std::string label;
    mscabd_cabinet* cabinet;
  };
  std::vector<Part> parts;
  // Files the library drops when it joins a cabinet to a set (see
  // RecoverDroppedFiles), made again here; the deques keep them in place.
  std::deque<mscabd_file> recovered;
  std::deque<std::string> recovered_names;
  int output_fd = -1;
  int open_errno = 0;
  uint64_t written = 0;
  const ProgressCallback* progress = nullptr;
};

namespace {

struct OpenFile {
  CabinetLibrary::State* state;
  enum class Kind { kEmbedded, kDescriptor, kOutput } kind;
  const EmbeddedCabinet* cabinet = nullptr;
  off_t position = 0;
  int fd = -1;
  // The library reads headers a few bytes at a time: an embedded cabinet
  // is fetched from the engine a window at a time instead.
  std::vector<unsigned char> window{};
  off_t window_at = 0;
};

constexpr size_t kWindowSize = 1 << 16;

CabinetLibrary::State* StateOf(mspack_system* self) {
  return reinterpret_cast<CabinetLibrary::State::System*>(self)->state;
}

OpenFile* FileOf(mspack_file* file) { return reinterpret_cast<OpenFile*>(file); }

mspack_file* Open(mspack_system* self, const char* name, int mode) {
  CabinetLibrary::State* state = StateOf(self);
  auto* file = new OpenFile{state, OpenFile::Kind::kEmbedded};
  if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, kOutputName) == 0) {
    file->kind = OpenFile::Kind::kOutput;
    file->fd = state->output_fd;
  } else if (mode != MSPACK_SYS_OPEN_READ) {
    delete file;
    return nullptr;
  } else if (auto found = state->embedded.find(name); found != state->embedded.end()) {
    file->cabinet = &found->second;
  } else {
    file->kind = OpenFile::Kind::kDescriptor;
    file->fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (file->fd < 0) {
      state->open_errno = errno;
      delete file;
      return nullptr;
    }
  }
  return reinterpret_cast<mspack_file*>(file);
}

void Close(mspack_file* handle) {
  OpenFile* file = FileOf(handle);
  if (file->kind == OpenFile::Kind::kDescriptor) ::close(file->fd);
  delete file;
}

// Copies from the embedded cabinet through the window; -1 when the engine
// cannot read it.
int ReadEmbedded(OpenFile& file, unsigned char* out, int bytes) {
  const off_t size = static_cast<off_t>(file.cabinet->size);
  const off_t count = std::min<off_t>(bytes, std::max<off_t>(0, size - file.position));
  off_t done = 0;
  while (done < count) {
    const off_t at = file.position + done;
    const off_t window_end = file.window_at + static_cast<off_t>(file.window.size());
    if (at < file.window_at || at >= window_end) {
      // Large reads go straight to the caller's buffer.
      if (count - done >= static_cast<off_t>(kWindowSize)) {
        const long n = file.cabinet->read(static_cast<uint64_t>(at), out + done, static_cast<size_t>(count - done));
        if (n <= 0) return -1;
        done += n;
        continue;
      }
      file.window.resize(static_cast<size_t>(std::min<off_t>(kWindowSize, size - at)));
      const long n = file.cabinet->read(static_cast<uint64_t>(at), file.window.data(), file.window.size());
      if (n != static_cast<long>(file.window.size())) {
        file.window.clear();
        return -1;
      }
      file.window_at = at;
      continue;
    }
    const off_t take = std::min<off_t>(count - done, window_end - at);
    std::memcpy(out + done, file.window.data() + (at - file.window_at), static_cast<size_t>(take));
    done += take;
  }
  file.position += count;
  return static_cast<int>(count);
}

int Read(mspack_file* handle, void* buffer, int bytes) {
  OpenFile* file = FileOf(handle);
  if (bytes < 0) return -1;
  if (file->kind == OpenFile::Kind::kEmbedded) return ReadEmbedded(*file, static_cast<unsigned char*>(buffer), bytes);
  if (file->kind != OpenFile::Kind::kDescriptor) return -1;
  for (;;) {
    const ssize_t n = ::read(file->fd, buffer, static_cast<size_t>(bytes));
    if (n >= 0 || errno != EINTR) return static_cast<int>(n);
  }
}

int Write(mspack_file* handle, void* buffer, int bytes) {
  OpenFile* file = FileOf(handle);
  if (file->kind != OpenFile::Kind::kOutput || bytes < 0) return -1;
  const char* at = static_cast<const char*>(buffer);
  size_t left = static_cast<size_t>(bytes);
  while (left > 0) {
    const ssize_t n = ::write(file->fd, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    at += n;
    left -= static_cast<size_t>(n);
  }
  CabinetLibrary::State* state = file->state;
  state->written += static_cast<uint64_t>(bytes);
  if (state->progress && *state->progress) (*state->progress)(state->written);
  return bytes;
}

int Seek(mspack_file* handle, off_t offset, int mode) {
  OpenFile* file = FileOf(handle);
  if (file->kind == OpenFile::Kind::kDescriptor) {
    const int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET
                       : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR
                                                     : SEEK_END;
    return ::lseek(file->fd, offset, whence) < 0 ? -1 : 0;
  }
  if (file->kind != OpenFile::Kind::kEmbedded) return -1;
  const off_t size = static_cast<off_t>(file->cabinet->size);
  const off_t base = mode == MSPACK_SYS_SEEK_START ? 0
                     : mode == MSPACK_SYS_SEEK_CUR ? file->position
                                                   : size;
  if (offset > 0 ? base > size - offset : base + offset < 0) return -1;
  file->position = base + offset;
  return 0;
}

off_t Tell(mspack_file* handle) {
  OpenFile* file = FileOf(handle);
  if (file->kind == OpenFile::Kind::kDescriptor) return ::lseek(file->fd, 0, SEEK_CUR);
  return file->position;
}

// The library's warnings are about recoverable oddities; failures come back
// as error codes, which are what the user sees.
void Message(mspack_file*, const char*, ...) {}

void* Alloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void Free(void* p) { std::free(p); }
void Copy(void* from, void* to, size_t bytes) { std::memmove(to, from, bytes); }

timespec DosTime(const mscabd_file& f) {
  std::tm t{};
  t.tm_year = f.date_y - 1900;
  t.tm_mon = f.date_m - 1;
  t.tm_mday = f.date_d;
  t.tm_hour = f.time_h;
  t.tm_min = f.time_m;
  t.tm_sec = f.time_s;
  t.tm_isdst = -1;
  const time_t seconds = std::mktime(&t);
  return timespec{seconds == static_cast<time_t>(-1) ? 0 : seconds, 0};
}

}  // namespace

CabinetLibrary::CabinetLibrary(std::unique_ptr<State> state) : state_(std::move(state)) {}

CabinetLibrary::~CabinetLibrary() {
  // Closing the first part of a set frees the whole set, so the first parts
  // are picked out before anything is freed.
  std::vector<mscabd_cabinet*> heads;
  for (const State::Part& part : state_->parts)
    if (part.cabinet->prevcab == nullptr) heads.push_back(part.cabinet);
  for (mscabd_cabinet* head : heads) state_->decompressor->close(state_->decompressor, head);
  mspack_destroy_cab_decompressor(state_->decompressor);
}

Outcome<std::unique_ptr<CabinetLibrary>> CabinetLibrary::Create() {
  int selftest = MSPACK_ERR_OK;
  MSPACK_SYS_SELFTEST(selftest);
  if (selftest != MSPACK_ERR_OK) return Failure{"libmspack was built for another file offset size"};
  auto state = std::make_unique<State>();
  state->system.calls = mspack_system{Open, Close, Read, Write, Seek, Tell, Message,
                                      Alloc, Free, Copy, nullptr};
  state->system.state = state.get();
  state->decompressor = mspack_create_cab_decompressor(&state->system.calls);
  if (state->decompressor == nullptr) return Failure{"libmspack cannot start: out of memory"};
  return std::unique_ptr<CabinetLibrary>(new CabinetLibrary(std::move(state)));
}

Status CabinetLibrary::AddEmbedded(const std::string& label, EmbeddedCabinet cabinet) {
  // No path contains a name without '/', so this never shadows a real file.
  const std::string name = "embedded:" + std::to_string(state_->embedded.size());
  state_->embedded.emplace(name, std::move(cabinet));
  return Add(label, name);
}

Status CabinetLibrary::AddFile(const std::string& label, const std::string& path) {
  return Add(label, path.find('/') == std::string::npos ? "./" + path : path);
}

namespace {

size_t Count(const mscabd_folder* f) {
  size_t n = 0;
  for (; f != nullptr; f = f->next) ++n;
  return n;
}

// libmspack, joining a folder continued from the previous cabinet, keeps
// only the file continued across the boundary and drops the files after it
// in that folder (their data is all there, in the joined folder). They are
// made again from the part's own listing, pointing into the joined folder.
// A file as a part lists it, its name copied: the join frees the library's.
struct ListedFile {
  mscabd_file file;
  std::string name;
};

void RecoverDroppedFiles(CabinetLibrary::State& state, mscabd_cabinet* set, size_t joined_folder,
                         const std::vector<ListedFile>& continuing) {
  mscabd_folder* folder = set->folders;
  for (size_t i = 0; i < joined_folder && folder != nullptr; ++i) folder = folder->next;
  if (folder == nullptr) return;
  for (const auto& [listed, name] : continuing) {
    bool kept = false;
    for (const mscabd_file* f = set->files; f != nullptr && !kept; f = f->next)
      kept = f->offset == listed.offset && f->length == listed.length && name == f->filename;
    for (const mscabd_file& f : state.recovered)
      kept = kept || (f.offset == listed.offset && name == f.filename);
    if (kept) continue;
    state.recovered_names.push_back(name);
    mscabd_file copy = listed;
    copy.next = nullptr;
    copy.filename = state.recovered_names.back().data();
    copy.folder = folder;
    state.recovered.push_back(copy);
  }
}

}  // namespace

Status CabinetLibrary::Add(const std::string& label, const std::string& library_name) {
  mscab_decompressor* d = state_->decompressor;
  state_->names.push_back(library_name);
  mscabd_cabinet* cabinet = d->open(d, state_->names.back().c_str());
  if (cabinet == nullptr) {
    const int code = d->last_error(d);
    return Failure{"cabinet " + label + ": " +
                   (code == MSPACK_ERR_OPEN && state_->open_errno != 0 ? std::string(std::strerror(state_->open_errno))
                                                                        : LibraryMessage(code))};
  }
  mscabd_cabinet* previous = state_->parts.empty() ? nullptr : state_->parts.back().cabinet;
  state_->parts.push_back({label, cabinet});
  if (previous && (previous->flags & MSCAB_HDR_NEXTCAB) && previous->nextcab == nullptr) {
    // What the new part lists in the folder it continues, before the join.
    std::vector<ListedFile> continuing;
    for (const mscabd_file* f = cabinet->files; f != nullptr; f = f->next)
      if (f->folder == cabinet->folders) continuing.push_back({*f, f->filename});
    const size_t folders_before = Count(previous->folders);
    const size_t folders_added = Count(cabinet->folders);
    const int r = d->append(d, previous, cabinet);
    if (r != MSPACK_ERR_OK)
      return Failure{"cabinet " + label + " does not continue " + state_->parts[state_->parts.size() - 2].label +
                     ": " + LibraryMessage(r)};
    if (folders_before > 0 && Count(previous->folders) < folders_before + folders_added)
      RecoverDroppedFiles(*state_, previous, folders_before - 1, continuing);
  }
  return Ok();
}

std::vector<CabinetEntry> CabinetLibrary::Entries() const {
  std::vector<CabinetEntry> entries;
  for (const State::Part& part : state_->parts) {
    if (part.cabinet->prevcab != nullptr) continue;  // listed with its set
    for (const mscabd_file* f = part.cabinet->files; f != nullptr; f = f->next)
      entries.push_back({f->filename, f->length, DosTime(*f), f});
  }
  for (const mscabd_file& f : state_->recovered) entries.push_back({f.filename, f.length, DosTime(f), &f});
  return entries;
}

Status CabinetLibrary::Extract(const CabinetEntry& entry, int fd, const ProgressCallback& progress) {
  state_->output_fd = fd;
  state_->written = 0;
  state_->progress = &progress;
  mscab_decompressor* d = state_->decompressor;
  auto* file = static_cast<mscabd_file*>(const_cast<void*>(entry.handle));
  const int r = d->extract(d, file, kOutputName);
  state_->progress = nullptr;
  if (r != MSPACK_ERR_OK) return Failure{LibraryMessage(r)};
  return Ok();
}

}  // namespace msiunpack
