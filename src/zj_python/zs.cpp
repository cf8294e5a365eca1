// get_zs_seq: the pivot zones (中枢) formed by a list of strokes (笔).
#include <cmath>
#include <string>
#include <vector>

#include "zj_core/common/numeric.hpp"
#include "zj_core/zs.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/records.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/module.hpp"

namespace zj_python {
namespace {

using zj_core::DateTime;
using zj_core::zs::Direction;

constexpr std::string_view kDoc =
    "从笔列表识别中枢序列。\n"
    "\n"
    "参数:\n"
    "    bis: 笔字典列表，每项含:\n"
    "        - direction: \"Up\" / \"Down\"（或 \"向上\"/\"向下\"）\n"
    "        - high: 笔最高价\n"
    "        - low: 笔最低价\n"
    "        - sdt: 开始时间（字符串或 datetime，UTC）\n"
    "        - edt: 结束时间（字符串或 datetime，UTC）\n"
    "\n"
    "返回:\n"
    "    list[dict]: 中枢字典列表，每项含\n"
    "    zg/zd/zz/gg/dd（数值）、sdir/edir（\"Up\"/\"Down\"）、sdt/edt（时间字符串）。";

// A conversion that may fail and fall through to the next way of reading: a
// failed conversion is cleared, anything else (KeyboardInterrupt) goes on.
void clear_recoverable() {
    if (!conversion_failed()) throw PyErrOccurred{};
    PyErr_Clear();
}

enum class UnixRead { Absent, Seconds };

// "sdt_ts" / "edt_ts": an integer within int64, else anything converting to a
// finite float, truncated toward zero (saturating). NaN and infinities say
// nothing about the time and count as absent.
UnixRead read_unix(PyObject* o, std::int64_t& secs) {
    const long long v = PyLong_AsLongLong(o);
    if (!(v == -1 && PyErr_Occurred())) {
        secs = v;
        return UnixRead::Seconds;
    }
    clear_recoverable();
    const double f = PyFloat_AsDouble(o);
    if (f == -1.0 && PyErr_Occurred()) {
        clear_recoverable();
        return UnixRead::Absent;
    }
    if (!std::isfinite(f)) return UnixRead::Absent;
    secs = zj_core::saturating_cast<std::int64_t>(f);
    return UnixRead::Seconds;
}

enum Stroke : std::size_t { kDirection, kHigh, kLow, kSdtTs, kSdt, kEdtTs, kEdt };

struct TimeKeys {
    std::size_t unix_key, text_key;  // field indices of the stroke record kind
    const char* unix_name;
    const char* text_name;
};

[[noreturn]] void raise_bad_time(const TimeKeys& k) {
    raise_value_error(std::string("Missing or invalid time: '") + k.unix_name + "' (unix secs) / '" + k.text_name +
                      "' (str)");
}

// Unix seconds first, then the text ("%Y-%m-%d %H:%M:%S" as UTC, else RFC 3339
// with an offset). A timestamp outside years 0000-9999 is an error rather
// than a stand-in date.
DateTime read_date_time(Record& r, const TimeKeys& k, zj_core::DateTimeReader& texts) {
    r.at(k.unix_key);
    if (PyObject* unix = r.get(k.unix_key)) {
        std::int64_t secs = 0;
        if (read_unix(unix, secs) == UnixRead::Seconds) {
            if (auto t = DateTime::from_unix(secs)) return *t;
            raise_bad_time(k);
        }
    }
    r.at(k.text_key);
    if (auto s = try_str(r.get(k.text_key))) {
        DateTime t;
        if (texts.read(*s, t)) return t;
    }
    raise_bad_time(k);
}

Direction read_direction(Record& r, PyObject* up, PyObject* down) {
    PyObject* o = r.require(kDirection);
    if (o == up) return Direction::Up;  // literals are interned: most texts are these objects
    if (o == down) return Direction::Down;
    if (!PyUnicode_Check(o)) to_str(o);            // the str conversion's TypeError
    const std::optional<std::string_view> text = try_str(o);  // unencodable text is just not a direction
    if (text)
        if (const auto d = zj_core::zs::parse_direction(*text)) return *d;
    raise_value_error(zj_core::zs::invalid_direction_message(text_for_message(o)));
}

constexpr TimeKeys kStart{kSdtTs, kSdt, "sdt_ts", "sdt"};
constexpr TimeKeys kEnd{kEdtTs, kEdt, "edt_ts", "edt"};

std::vector<zj_core::zs::Bi> strokes_from_dicts(PyObject* bis) {
    const RecordReader reader(zj_core::schema::kStroke);
    const Ref up = Ref::check(PyUnicode_InternFromString("Up"));
    const Ref down = Ref::check(PyUnicode_InternFromString("Down"));
    std::vector<zj_core::zs::Bi> out;
    out.reserve(static_cast<std::size_t>(PyList_Size(bis)));
    zj_core::DateTimeReader texts;  // strokes chain: each start repeats the last end
    reader.each(bis, [&](Record& r) {
        // Filled in place; on an error the call ends and the vector is dropped.
        zj_core::zs::Bi& b = out.emplace_back();
        b.direction = read_direction(r, up.get(), down.get());
        b.high = r.f64(kHigh);
        b.low = r.f64(kLow);
        b.sdt = read_date_time(r, kStart, texts);
        b.edt = read_date_time(r, kEnd, texts);
    });
    return out;
}

Ref py_get_zs_seq(PyObject* bis) {
    const std::vector<zj_core::zs::Bi> strokes = strokes_from_dicts(bis);
    const std::vector<zj_core::zs::Zs> zones = zj_core::zs::get_zs_seq(strokes);

    Ref out = Ref::check(PyList_New(static_cast<Py_ssize_t>(zones.size())));
    Py_ssize_t i = 0;
    for (const zj_core::zs::Zs& z : zones)
        PyList_SetItem(out.get(), i++, result_dict<zj_core::zs::Zs>(zj_core::results::kZone, z).release());  // steals
    return out;
}

constexpr clinic::Function kGetZsSeq = clinic::Function{"get_zs_seq", clinic::List{"bis"}}.with_doc(kDoc);

}  // namespace

void register_zs(PyObject* module) { add_function(module, clinic::method<kGetZsSeq, py_get_zs_seq>()); }

}  // namespace zj_python
