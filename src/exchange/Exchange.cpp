#include "Exchange.h"

#include <optional>

#include "Conversion.h"
#include "Search.h"

namespace exchange {

namespace {

void appendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append("\r\n");
}

void appendEscaped(std::string& out, std::string_view value) {
  for (const char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

// The last "</" that is markup, not text of a comment, a processing instruction or a CDATA
// section. Each of them ends on the line where its closing characters stand, so the lines are
// read once with the state carried from one to the next.
std::optional<int64_t> lastEndTag(const TextStore& document) {
  enum class Inside { markup, comment, instruction, section };
  const std::unique_ptr<TextLines> lines = document.lines();
  std::optional<int64_t> last;
  Inside inside = Inside::markup;
  int64_t position = 0;
  for (int64_t i = 0, count = lines->count(); i < count; ++i) {
    const std::string_view line = lines->line(i);
    size_t p = 0;
    while (p < line.size()) {
      if (inside != Inside::markup) {
        const std::string_view end = inside == Inside::comment ? "-->" : inside == Inside::instruction ? "?>" : "]]>";
        const size_t q = line.find(end, p);
        if (q == std::string_view::npos) break;
        inside = Inside::markup;
        p = q + end.size();
        continue;
      }
      const size_t q = line.find('<', p);
      if (q == std::string_view::npos) break;
      const std::string_view rest = line.substr(q);
      if (rest.starts_with("<!--")) {
        inside = Inside::comment;
        p = q + 4;
      } else if (rest.starts_with("<?")) {
        inside = Inside::instruction;
        p = q + 2;
      } else if (rest.starts_with("<![CDATA[")) {
        inside = Inside::section;
        p = q + 9;
      } else {
        if (rest.starts_with("</")) last = position + int64_t(q);
        p = q + 1;
      }
    }
    position += int64_t(line.size()) + 2;
  }
  return last;
}

}  // namespace

void VireBalises(std::string& line, bool& outside) {
  size_t kept = 0;
  for (const char c : line) {
    if (c == '<') outside = false;
    if (outside) line[kept++] = c;
    if (c == '>') outside = true;
  }
  line.resize(kept);
}

std::string Exportetxt(const TextLines& lines) {
  std::string out;
  bool outside = true;
  std::string line;
  for (int64_t i = 0; i < lines.count(); ++i) {
    line.assign(lines.line(i));
    VireBalises(line, outside);
    conversion::CarXml(line);
    if (!line.empty()) appendLine(out, line);
  }
  return out;
}

std::string ExporteHtm(const TextLines& lines, std::string_view title) {
  std::string out;
  appendLine(out, "<html>");
  out.append("<head><title>").append(title);
  appendLine(out, "</title>");
  appendLine(out, "</head>");
  appendLine(out, "<body>");
  bool outside = true;
  std::string line;
  for (int64_t i = 0; i < lines.count(); ++i) {
    line.assign(lines.line(i));
    VireBalises(line, outside);
    if (!line.empty()) appendLine(out, line + "<br>");
  }
  appendLine(out, "</body>");
  appendLine(out, "</html>");
  return out;
}

std::vector<Record> readRecords(std::string_view bytes) {
  std::vector<Record> records;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    Record fields;
    size_t from = 0;
    for (;;) {
      const size_t tab = line.find('\t', from);
      fields.emplace_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
      if (tab == std::string_view::npos) break;
      from = tab + 1;
    }
    records.push_back(std::move(fields));
    start = end + 2;
  }
  return records;
}

std::string defaultFieldName(size_t column) { return "champ" + std::to_string(column); }

Insertion recordsInsertion(const TextStore& document, const std::vector<Record>& records,
                           const std::vector<std::string>& fieldNames, std::string_view recordName) {
  std::string block;
  for (const Record& r : records) {
    block.append("<").append(recordName);
    appendLine(block, ">");
    for (size_t j = 0; j < r.size(); ++j) {
      const std::string& name =
          j < fieldNames.size() && !fieldNames[j].empty() ? fieldNames[j] : defaultFieldName(j);
      block.append("<").append(name).append(">");
      appendEscaped(block, r[j]);
      block.append("</").append(name);
      appendLine(block, ">");
    }
    block.append("</").append(recordName);
    appendLine(block, ">");
  }

  Insertion at;
  const int64_t size = document.size();
  const std::optional<int64_t> endTag = lastEndTag(document);
  if (!endTag) {
    // After the last line: the records follow whatever the document holds, prolog included.
    at.position = size;
    if (size > 0 && !(size >= 2 && document.at(size - 2) == '\r' && document.at(size - 1) == '\n'))
      block.insert(0, "\r\n");
    at.bytes = std::move(block);
    return at;
  }
  const int64_t lineStart = document.lineStart(document.lineOf(*endTag));
  bool blankBefore = true;
  for (int64_t p = lineStart; p < *endTag && blankBefore; ++p)
    blankBefore = document.at(p) == ' ' || document.at(p) == '\t';
  if (blankBefore) {
    at.position = lineStart;
  } else {
    // The end tag shares its line with other markup: the line is split before it.
    at.position = *endTag;
    block.insert(0, "\r\n");
  }
  at.bytes = std::move(block);
  return at;
}

}  // namespace exchange
