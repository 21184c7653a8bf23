#include "cabinet_source.h"

#include <fcntl.h>
#include <unistd.h>

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
  std::map<std::string, std::vector<unsigned char>> memory;
  // libmspack keeps the name it was given and opens it again to extract.
  std::deque<std::string> names;
  struct Part {
    std::string label;
    mscabd_cabinet* cabinet;
  };
  std::vector<Part> parts;
  int output_fd = -1;
  int open_errno = 0;
  uint64_t written = 0;
  const ProgressCallback* progress = nullptr;
};

namespace {

struct OpenFile {
  CabinetLibrary::State* state;
  enum class Kind { kMemory, kDescriptor, kOutput } kind;
  const std::vector<unsigned char>* bytes = nullptr;
  off_t position = 0;
  int fd = -1;
};

CabinetLibrary::State* StateOf(mspack_system* self) {
  return reinterpret_cast<CabinetLibrary::State::System*>(self)->state;
}

OpenFile* FileOf(mspack_file* file) { return reinterpret_cast<OpenFile*>(file); }

mspack_file* Open(mspack_system* self, const char* name, int mode) {
  CabinetLibrary::State* state = StateOf(self);
  auto* file = new OpenFile{state, OpenFile::Kind::kMemory};
  if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, kOutputName) == 0) {
    file->kind = OpenFile::Kind::kOutput;
    file->fd = state->output_fd;
  } else if (mode != MSPACK_SYS_OPEN_READ) {
    delete file;
    return nullptr;
  } else if (auto found = state->memory.find(name); found != state->memory.end()) {
    file->bytes = &found->second;
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

int Read(mspack_file* handle, void* buffer, int bytes) {
  OpenFile* file = FileOf(handle);
  if (bytes < 0) return -1;
  if (file->kind == OpenFile::Kind::kMemory) {
    const off_t size = static_cast<off_t>(file->bytes->size());
    const off_t count = std::min<off_t>(bytes, std::max<off_t>(0, size - file->position));
    if (count > 0) std::memcpy(buffer, file->bytes->data() + file->position, static_cast<size_t>(count));
    file->position += count;
    return static_cast<int>(count);
  }
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
  if (file->kind != OpenFile::Kind::kMemory) return -1;
  const off_t size = static_cast<off_t>(file->bytes->size());
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

Status CabinetLibrary::AddEmbedded(const std::string& label, std::vector<unsigned char> bytes) {
  // No path contains a name without '/', so this never shadows a real file.
  const std::string name = "memory:" + std::to_string(state_->memory.size());
  state_->memory.emplace(name, std::move(bytes));
  return Add(label, name);
}

Status CabinetLibrary::AddFile(const std::string& label, const std::string& path) {
  return Add(label, path.find('/') == std::string::npos ? "./" + path : path);
}

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
    const int r = d->append(d, previous, cabinet);
    if (r != MSPACK_ERR_OK)
      return Failure{"cabinet " + label + " does not continue " + state_->parts[state_->parts.size() - 2].label +
                     ": " + LibraryMessage(r)};
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
