// The query result page: fixed markup plus texts from the package, the path
// and the statement, one byte per character. Texts are escaped, so nothing
// taken from a package can become markup, and characters a byte cannot hold
// are written as numeric character references.
#pragma once

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

// The bytes a text becomes on the page.
std::string EncodePageText(std::u16string_view text);

class ResultPageWriter {
 public:
  explicit ResultPageWriter(const QString& path) : m_file(path) {}
  // Creates the file, or empties it if it exists.
  bool Open();
  void WriteMarkup(std::string_view markup);
  void WriteText(std::u16string_view text);
  // A cell: the text, or "&nbsp;" when it is empty.
  void WriteCellText(std::u16string_view text);
  // Flushes and closes; false when any write failed.
  bool Finish();

 private:
  void WriteBytes(std::string_view bytes);

  QFile m_file;
  bool m_failed = false;
};
