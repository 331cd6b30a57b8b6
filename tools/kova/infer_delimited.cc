#include "tools/kova/infer_delimited.h"

#include <algorithm>
#include <map>
#include <set>

#include "kova/metadata.h"

namespace kova::tool::infer {
namespace {

// Separators tried, in the order that settles a tie.
constexpr uint8_t kSeparators[] = {',', '\t', ';', '|', 0x01, 0x1F, '^', '~', ':'};
constexpr size_t kDialectRecords = 500;

std::string byteName(uint8_t b) {
  switch (b) {
    case ',':
      return "comma";
    case '\t':
      return "tab";
    case ';':
      return "semicolon";
    case '|':
      return "pipe";
    case ':':
      return "colon";
    case '"':
      return "double quote";
    case '\'':
      return "single quote";
    case 0:
      return "none";
    default:
      if (b < 0x20) return "control byte " + std::to_string(b);
      return std::string("'") + char(b) + "'";
  }
}

std::string percent(uint64_t part, uint64_t whole) {
  return std::to_string(whole ? (part * 100 + whole / 2) / whole : 0) + "%";
}

// Field counts of the first records of text split with sep and qual.
std::map<uint32_t, uint32_t> fieldCounts(std::string_view text, uint8_t sep, uint8_t qual) {
  std::map<uint32_t, uint32_t> counts;
  RecordSplitter splitter(sep, qual);
  size_t seen = 0;
  // Only whole records count: the text may be cut anywhere.
  std::string_view part = text.substr(0, 1 << 18);
  splitter.split(part, part.size() == text.size(), [&](const std::vector<std::string_view>& f) {
    if (seen++ < kDialectRecords) ++counts[uint32_t(f.size())];
  });
  return counts;
}

// True when the bytes cannot be a text table.
bool binaryText(std::string_view text, std::string* why) {
  std::string_view probe = text.substr(0, 1 << 16);
  size_t controls = 0;
  for (unsigned char b : probe) {
    if (b == 0) {
      *why = "binary data (NUL bytes), not a text table";
      return true;
    }
    controls +=
        (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != 0x01 && b != 0x1F) || b == 0x7F;
  }
  if (controls * 20 > probe.size()) {
    *why = "binary data (" + std::to_string(controls) + " control bytes in the first " +
           std::to_string(probe.size()) + "), not a text table";
    return true;
  }
  return false;
}

bool nameLike(std::string_view value) {
  if (value.empty() || value.size() > 64) return false;
  unsigned char c = uint8_t(value[0]);
  return c == '_' || c >= 0x80 || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

}  // namespace

std::vector<std::string> columnNames(const std::vector<std::string>& header, size_t count) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (size_t i = 0; i < count; ++i) {
    std::string name;
    std::string_view raw = i < header.size() ? std::string_view(header[i]) : std::string_view();
    for (unsigned char c : raw) {
      bool keep = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' ||
                  c >= 0x80;
      if (keep) {
        name += char(c);
      } else if (!name.empty() && name.back() != '_') {
        name += '_';
      }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    if (name.size() > 64) name.resize(64);
    while (!name.empty() && (uint8_t(name.back()) & 0xC0) == 0x80) name.pop_back();  // cut UTF-8
    while (!name.empty() && uint8_t(name.back()) >= 0xC0) name.pop_back();
    if (!name.empty() && name[0] >= '0' && name[0] <= '9') name = "c" + name;
    if (name.empty()) name = "c" + std::to_string(i + 1);
    std::string unique = name;
    for (int k = 2; taken.count(unique); ++k) unique = name + "_" + std::to_string(k);
    taken.insert(unique);
    names.push_back(unique);
  }
  return names;
}

uint8_t DelimitedInference::chooseSeparator(std::string_view text,
                                            std::vector<std::string>* evidence,
                                            uint32_t* fieldCount) {
  uint8_t best = 0;
  uint64_t bestShare = 0;  // per mille of records with the modal count
  uint32_t bestCount = 1;
  uint32_t records = 0;
  for (uint8_t sep : kSeparators) {
    // Quoted fields may hold separators and line ends: each separator is
    // scored with the qualifier that suits it best.
    uint32_t total = 0, modal = 1, modalRecords = 0;
    uint64_t share = 0;
    for (uint8_t qual : {uint8_t('"'), uint8_t('\'')}) {
      uint32_t qualTotal = 0, qualModal = 1, qualRecords = 0;
      for (auto [fields, n] : fieldCounts(text, sep, qual)) {
        qualTotal += n;
        if (n > qualRecords || (n == qualRecords && fields > qualModal))
          qualModal = fields, qualRecords = n;
      }
      uint64_t qualShare = qualTotal ? uint64_t(qualRecords) * 1000 / qualTotal : 0;
      if (qualModal >= 2 && qualShare > share) {
        total = qualTotal, modal = qualModal, modalRecords = qualRecords, share = qualShare;
      }
    }
    if (modal < 2 || total == 0) continue;
    if (share > bestShare) {
      best = sep, bestShare = share, bestCount = modal, records = total;
    }
    evidence->push_back(byteName(sep) + ": " + std::to_string(modal) + " fields in " +
                        percent(modalRecords, total) + " of " + std::to_string(total) + " records");
  }
  *fieldCount = bestCount;
  if (best) {
    evidence->push_back("separator " + byteName(best) + ": the most consistent field count (" +
                        std::to_string(bestCount) + " in " + std::to_string(bestShare / 10) +
                        "% of " + std::to_string(records) + " records)");
  }
  return best;
}

bool DelimitedInference::start(std::string_view head, bool whole, Findings* f, std::string* error) {
  if (head.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    *error =
        head.empty() ? "empty: there is nothing to infer from" : "blank: no values to infer from";
    return false;
  }
  if (binaryText(head, error)) return false;
  uint32_t modal = 1;
  separator_ = chooseSeparator(head, &f->dialectEvidence, &modal);
  // The qualifier: the double quote unless fields only ever begin with a
  // single quote.
  auto countQuoted = [&](uint8_t qual) {
    RecordSplitter s(separator_, qual);
    s.split(head.substr(0, 1 << 18), whole, [](const auto&) {});
    return s.qualifiedFields();
  };
  uint64_t doubleQuoted = countQuoted('"');
  uint64_t singleQuoted = doubleQuoted ? 0 : countQuoted('\'');
  qualifier_ = singleQuoted ? '\'' : '"';
  f->dialectEvidence.push_back(
      doubleQuoted ? std::to_string(doubleQuoted) + " fields begin with a double quote"
      : singleQuoted
          ? std::to_string(singleQuoted) + " fields begin with a single quote"
          : "no field begins with a quote; the double quote is set for fields quoted later");
  if (!separator_) {
    f->dialectEvidence.push_back("no separator gives two or more fields per record: one column");
  }
  // The records of the head: field counts, line ends, the first record.
  RecordSplitter splitter(separator_, qualifier_);
  std::map<uint32_t, uint64_t> counts;
  std::vector<std::vector<std::string>> first;  // the first records
  splitter.split(head, whole, [&](const std::vector<std::string_view>& fields) {
    ++counts[uint32_t(fields.size())];
    for (std::string_view field : fields) {
      multiline_ = multiline_ || field.find_first_of("\r\n") != std::string_view::npos;
    }
    if (first.size() < 2000) first.emplace_back(fields.begin(), fields.end());
  });
  if (first.empty()) {
    *error = "no whole record in the first " + std::to_string(head.size()) + " bytes";
    return false;
  }
  uint64_t total = 0, modalRecords = 0;
  for (auto [fields, n] : counts) {
    total += n;
    if (n > modalRecords) modal = fields, modalRecords = n;
  }
  if (separator_ && total >= 4 && modalRecords * 2 < total) {
    *error = "ragged rows: the records have " + std::to_string(counts.begin()->first) + " to " +
             std::to_string(counts.rbegin()->first) + " fields, the most common count (" +
             std::to_string(modal) + ") in only " + percent(modalRecords, total) + " of " +
             std::to_string(total) + " records";
    return false;
  }
  columns_ = separator_ ? modal : 1;
  const uint64_t lf = splitter.lf(), crlf = splitter.crlf(), cr = splitter.cr();
  f->lineEnd = crlf >= lf && crlf >= cr && crlf ? "CR LF" : lf >= cr && lf ? "LF" : cr ? "CR" : "";
  f->dialectEvidence.push_back("line ends: " + std::to_string(lf) + " LF, " + std::to_string(crlf) +
                               " CR LF, " + std::to_string(cr) + " CR");
  // The header: the first record's values unlike the values below them.
  if (first.size() >= 2) {
    std::vector<ColumnProfile> below(columns_);
    for (size_t r = 1; r < first.size(); ++r) {
      for (size_t c = 0; c < columns_ && c < first[r].size(); ++c) below[c].observe(first[r][c]);
    }
    std::vector<std::string> ignored;
    int unlike = 0, like = 0;
    bool allText = true;
    for (size_t c = 0; c < columns_; ++c) {
      ColumnFinding column;
      below[c].decide(&column, &ignored);
      std::string value = c < first[0].size() ? first[0][c] : "";
      if (column.type == kTypeVarchar || column.type == kTypeChar) {
        if (column.type == kTypeChar && below[c].valueCount() &&
            utf8Chars(value) != uint64_t(column.charlength))
          ++unlike;
        continue;
      }
      allText = false;
      if (nullTextOf(value) >= 0) continue;
      (valueFits(column, value) ? like : unlike) += 1;
    }
    if (!allText) {
      header_ = unlike > like;
      f->dialectEvidence.push_back(
          std::string(header_ ? "header: " : "no header: ") + std::to_string(unlike) +
          " typed column(s) whose first value is unlike the values below it, " +
          std::to_string(like) + " whose first value is like them");
    } else {
      // Every column is text: names are short, unique and occur nowhere below.
      bool names = true;
      std::set<std::string> seen;
      for (size_t c = 0; c < columns_; ++c) {
        const std::string value = c < first[0].size() ? first[0][c] : "";
        names = names && nameLike(value) && seen.insert(value).second;
        for (size_t r = 1; names && r < first.size(); ++r) {
          names = !(c < first[r].size() && first[r][c] == value);
        }
      }
      header_ = names;
      std::string why = "every column is text; the first line " +
                        std::string(names ? "holds unique names that occur nowhere below: a header"
                                          : "does not look like names: no header");
      f->dialectEvidence.push_back(why);
      if (first.size() > 2 || names) f->warnings.push_back("header: " + why + " (a guess)");
    }
  } else {
    f->dialectEvidence.push_back("one record only: taken as data, not as a header");
    f->warnings.push_back("header: one record only, taken as data (a guess)");
  }
  f->headerLines = header_ ? 1 : 0;
  names_ = columnNames(header_ ? first[0] : std::vector<std::string>(), columns_);
  profiles_.assign(columns_, ColumnProfile());
  splitter_ = std::make_unique<RecordSplitter>(separator_, qualifier_);
  f->fieldsep = separator_;
  f->textqual = qualifier_;
  return true;
}

size_t DelimitedInference::feed(std::string_view text, bool final, bool fromStart, bool span) {
  if (span && multiline_) {
    // A span may begin inside a field that holds a line end; its records
    // would be cut in the wrong places.
    ++spansSkipped_;
    return text.size();
  }
  bool skip = header_ && fromStart;
  const uint32_t columns = columns_;
  return splitter_->split(text, final, [&](const std::vector<std::string_view>& fields) {
    if (skip) {
      skip = false;
      return;
    }
    if (fields.size() != columns && columns > 1) {
      if (span) {
        ++setAside_;
        return;
      }
      ++(fields.size() > columns ? longer_ : shorter_);
    }
    ++records_;
    const size_t n = std::min<size_t>(fields.size(), columns);
    for (size_t c = 0; c < n; ++c) profiles_[c].observe(fields[c]);
    // A missing field is null, as the ripper leaves it.
    for (size_t c = n; c < columns; ++c) profiles_[c].observeNull();
  });
}

bool DelimitedInference::finish(Findings* f, std::string*) {
  f->records += records_;
  if (splitter_->emptyLines()) {
    f->dialectEvidence.push_back(std::to_string(splitter_->emptyLines()) +
                                 " empty lines (each rips as a row of nulls)");
  }
  if (longer_) {
    f->warnings.push_back(std::to_string(longer_) + " records have more than " +
                          std::to_string(columns_) + " fields; the ripper drops the extra fields");
  }
  if (shorter_) {
    f->dialectEvidence.push_back(std::to_string(shorter_) + " records have fewer than " +
                                 std::to_string(columns_) +
                                 " fields (their last columns are null)");
  }
  if (spansSkipped_) {
    f->warnings.push_back(
        "values run over lines, so the spans inside the file were not used: only "
        "its start was sampled (--sample all reads the whole file)");
  }
  if (setAside_) {
    f->dialectEvidence.push_back(std::to_string(setAside_) +
                                 " records of the spans with another field count set aside");
  }
  f->columns.clear();
  for (size_t c = 0; c < columns_; ++c) {
    ColumnFinding column;
    column.name = names_[c];
    profiles_[c].decide(&column, &f->warnings);
    f->columns.push_back(std::move(column));
  }
  // The null text most fields that hold one use.
  uint64_t byKind[kNullTextCount] = {};
  uint64_t all = 0;
  for (const ColumnProfile& p : profiles_) {
    for (int k = 0; k < kNullTextCount; ++k) byKind[k] += p.nullCount(k), all += p.nullCount(k);
  }
  int top = int(std::max_element(byKind, byKind + kNullTextCount) - byKind);
  if (all && byKind[top] * 2 > all) {
    f->nullText = kNullTexts[top];
    f->dialectEvidence.push_back("null text \"" + f->nullText +
                                 "\": " + std::to_string(byKind[top]) + " of " +
                                 std::to_string(all) + " null fields");
    if (top != kNullEmpty && top != kNullBackslashN) {
      f->warnings.push_back("null text \"" + f->nullText +
                            "\": the document has no element for it; kova rip reads it as null in "
                            "number, date and time columns and as text in character columns");
    }
  }
  return true;
}

}  // namespace kova::tool::infer
