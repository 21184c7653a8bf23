// Saving a stream field as a file.
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "MsiRecord.h"
#include "SystemError.h"

namespace {

constexpr DWORD kChunkBytes = 1024;
constexpr UINT kCannotComplete = 1003;  // ERROR_CAN_NOT_COMPLETE
constexpr int kNameAttempts = 100;

// A new file that did not exist before (never an existing file or link),
// beside `finalPath` so that the rename stays within one folder.
std::FILE* CreateFreshFile(const std::filesystem::path& finalPath, std::filesystem::path& created,
                           int& error) {
  std::random_device entropy;
  std::mt19937_64 generator((static_cast<uint64_t>(entropy()) << 32) ^ entropy());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::filesystem::path candidate = finalPath;
    candidate += ".part" + std::to_string(generator() % 1000000000ull);
    errno = 0;
#ifdef _WIN32
    std::FILE* file = _wfopen(candidate.c_str(), L"wbx");
#else
    std::FILE* file = std::fopen(candidate.c_str(), "wbx");
#endif
    if (file) {
      created = candidate;
      return file;
    }
    error = errno;
    if (error != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

bool CMsiRecord::ReadStreamToFile(UINT field, const std::u16string& path) {
  m_nError = kCannotComplete;
  if (path.empty()) return false;
  const std::filesystem::path finalPath(path);
  std::filesystem::path partPath;
  int error = 0;
  std::FILE* file = CreateFreshFile(finalPath, partPath, error);
  if (!file) {
    m_nError = ResultCodeFromErrno(error);
    return false;
  }

  m_nError = ERROR_SUCCESS;
  std::array<char, kChunkBytes> buffer{};
  for (;;) {
    DWORD count = kChunkBytes;
    const UINT code = MsiRecordReadStream(m_hHandle, field, buffer.data(), &count);
    if (code != ERROR_SUCCESS) {
      m_nError = code;
      break;
    }
    if (count > kChunkBytes) count = kChunkBytes;
    if (count > 0 && std::fwrite(buffer.data(), 1, count, file) != count) {
      m_nError = ResultCodeFromErrno(errno);
      break;
    }
    if (count < kChunkBytes) break;
  }
  errno = 0;
  if (std::fclose(file) != 0 && m_nError == ERROR_SUCCESS) m_nError = ResultCodeFromErrno(errno);

  std::error_code ignored;
  if (m_nError == ERROR_SUCCESS) {
    // rename replaces whatever is at the final name, a planted link included,
    // instead of writing through it.
    std::error_code renameError;
    std::filesystem::rename(partPath, finalPath, renameError);
    if (renameError) m_nError = ResultCodeFromErrno(renameError.value());
  }
  if (m_nError != ERROR_SUCCESS) std::filesystem::remove(partPath, ignored);
  return m_nError == ERROR_SUCCESS;
}
