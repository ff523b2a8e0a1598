#include "timesync/date_parse.h"

#include <cstddef>
#include <vector>

#include "base/gbk_text.h"

namespace lanchuan {
namespace {

struct MonthName {
  const char* name;
  const char* number;
};

const MonthName kMonths[] = {
    {"Jan", "01-"}, {"Feb", "02-"}, {"Mar", "03-"}, {"Apr", "04-"}, {"May", "05-"}, {"Jun", "06-"},
    {"Jul", "07-"}, {"Aug", "08-"}, {"Sep", "09-"}, {"Oct", "10-"}, {"Nov", "11-"}, {"Dec", "12-"},
};

const char* month_number(const std::string& name) {
  for (const MonthName& month : kMonths) {
    if (name == month.name) return month.number;
  }
  return nullptr;
}

bool in_range(long long value, long long low, long long high) {
  return value >= low && value <= high;
}

// Reads a date-time text field by field. Each field is a run of at most a few
// digits (none reads as 0), optionally followed by one of its separators.
class FieldReader {
 public:
  explicit FieldReader(const std::string& text) : text_(text) {}

  int number(std::size_t max_digits) {
    int value = 0;
    for (std::size_t n = 0; n < max_digits && pos_ < text_.size(); ++n, ++pos_) {
      const char c = text_[pos_];
      if (c < '0' || c > '9') break;
      value = value * 10 + (c - '0');
    }
    return value;
  }

  void skip_one_of(const std::vector<std::string>& separators) {
    for (const std::string& separator : separators) {
      if (text_.compare(pos_, separator.size(), separator) == 0) {
        pos_ += separator.size();
        return;
      }
    }
  }

  bool at_end() const { return pos_ == text_.size(); }

  bool take(const std::string& word) {
    if (text_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    return true;
  }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
};

}  // namespace

bool try_date_time_from_text(const std::string& text, DateTime& out) {
  const std::string ascii = full_width_to_ascii(text);
  if (ascii.empty()) return false;

  FieldReader reader(ascii);
  const int year = reader.number(4);
  reader.skip_one_of({"-", ".", "/", ":", "年"});
  const int month = reader.number(2);
  reader.skip_one_of({"-", ".", "/", ":", "月"});
  const int day = reader.number(2);
  reader.skip_one_of({" ", "-", ".", "/", ":", "日"});
  const int hour = reader.number(2);
  reader.skip_one_of({"-", ".", "/", ":", "时"});
  const int minute = reader.number(2);
  reader.skip_one_of({"-", ".", "/", ":", "分"});
  const int second = reader.number(2);
  if (!reader.at_end() && !(reader.take("秒") && reader.at_end())) return false;

  return make_date_time(year, month, day, hour, minute, second, out);
}

DateTime date_time_from_text(const std::string& text) {
  DateTime result{kMinDateTimeDays};
  try_date_time_from_text(text, result);
  return result;
}

bool parse_date_header(const std::string& header, DateTime& out) {
  const std::vector<std::string> pieces = split_gbk(header, " ");
  if (pieces.size() != 6) return false;
  if (pieces[5] != "GMT") return false;
  if (!in_range(text_to_integer(pieces[3]), 2009, 5000)) return false;
  const char* month = month_number(pieces[2]);
  if (month == nullptr) return false;
  if (!in_range(text_to_integer(pieces[1]), 1, 31)) return false;

  // Built from the pieces as written ("8" stays "8"), not from the numbers read.
  const std::string assembled = pieces[3] + "-" + month + pieces[1] + " " + pieces[4];
  // An impossible date (31 November, 24:00:00) counts as no date at all: passing
  // it on as 0100-01-01 would be shown as a server time and fail only later.
  return try_date_time_from_text(assembled, out);
}

}  // namespace lanchuan
