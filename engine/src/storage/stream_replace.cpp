#include "storage/stream_replace.h"

#include "cfb/compound_file_reader.h"
#include "storage/atomic_file.h"

namespace msi {
namespace {

Status CopyTree(const cfb::CompoundFileReader& file, uint32_t entry, cfb::StorageTree* out) {
  const auto& e = file.entry(entry);
  out->name = e.name;
  out->clsid = e.clsid;
  out->state_bits = e.state_bits;
  out->created = e.created;
  out->modified = e.modified;
  for (uint32_t child : file.Children(entry)) {
    const auto& c = file.entry(child);
    if (c.type == cfb::EntryType::kStream) {
      auto bytes = file.ReadStream(child);
      if (!bytes.ok()) return bytes.status();
      out->streams.push_back(
          {c.name, std::make_shared<const std::vector<uint8_t>>(std::move(*bytes))});
    } else if (c.type == cfb::EntryType::kStorage) {
      cfb::StorageTree sub;
      MSI_RETURN_IF_ERROR(CopyTree(file, child, &sub));
      out->storages.push_back(std::move(sub));
    }
  }
  return Status();
}

}  // namespace

Status ReplaceRootStreamInFile(const std::string& path, const std::u16string& stored_name,
                               std::vector<uint8_t> bytes) {
  auto image = cfb::FileImage::Map(path);
  if (!image.ok()) return image.status();
  auto file = cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return file.status();
  cfb::StorageTree root;
  MSI_RETURN_IF_ERROR(CopyTree(**file, cfb::CompoundFileReader::kRootId, &root));
  auto data = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  bool replaced = false;
  for (auto& s : root.streams) {
    if (s.name == stored_name) {
      s.data = data;
      replaced = true;
    }
  }
  if (!replaced) root.streams.push_back({stored_name, data});
  cfb::WriteOptions options;
  options.major_version = (*file)->major_version();
  return ReplaceFileAtomically(
      path, [&](cfb::ByteSink& sink) { return cfb::WriteCompoundFile(root, options, sink); });
}

}  // namespace msi
