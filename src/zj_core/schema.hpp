#pragma once
// Record kinds, described once. Each kind lists its fields: the canonical
// name (the dict key, and the column name a frame is looked up by first), the
// value kind, whether a record must carry it, and the column-name aliases met
// in A-share data (czsc's names, tushare's, Chinese export headers). The dict
// readers and the column readers both walk these tables; a reader that needs a
// field in a different role (say, optional in one analysis and required in
// another) says so itself, by the field's index.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace zj_core::schema {

enum class Kind : unsigned char {
    Float,      // any real number; int columns widen
    Int,        // a whole number (volumes, counts, flags)
    Text,       // free text (freq, direction)
    TimeOfDay,  // an intraday time: "HH:MM:SS", datetime.time, time32/time64
    DateTime,   // a calendar date or date-time: dt of a bar, stroke ends
};

struct Field {
    std::string_view name;
    Kind kind;
    bool required;
    std::array<std::string_view, 4> aliases{};  // column aliases, empty entries unused
};

struct RecordSchema {
    std::string_view kind;  // "bar", "trade", ... (for messages)
    std::span<const Field> fields;

    // Index of the field called `name` (canonical names only).
    constexpr std::optional<std::size_t> find(std::string_view name) const {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (fields[i].name == name) return i;
        return std::nullopt;
    }
};

// The column that names a record's symbol in a multi-symbol table.
inline constexpr Field kSymbol{"symbol", Kind::Text, false, {"ts_code", "code", "代码", "证券代码"}};

// A K-line bar. Bars are read leniently: an absent or unreadable field takes
// its default ("" or 0.0), so nothing is required.
inline constexpr Field kBarFields[] = {
    {"dt", Kind::DateTime, false, {"trade_date", "日期"}},
    {"freq", Kind::Text, false, {}},
    {"open", Kind::Float, false, {"开盘"}},
    {"high", Kind::Float, false, {"最高"}},
    {"low", Kind::Float, false, {"最低"}},
    {"close", Kind::Float, false, {"收盘"}},
    {"vol", Kind::Float, false, {"成交量"}},
    {"amount", Kind::Float, false, {"成交额"}},
};
inline constexpr RecordSchema kBar{"bar", kBarFields};

// One trade of a day's tape. trade_count is optional for the screening
// metrics and in frames (one order when absent); the dict reader of the full
// analyses requires it by itself.
inline constexpr Field kTradeFields[] = {
    {"time", Kind::TimeOfDay, true, {}},
    {"price", Kind::Float, true, {}},
    {"vol", Kind::Int, true, {}},
    {"trade_count", Kind::Int, false, {}},
    {"bs_flag", Kind::Int, true, {}},
};
inline constexpr RecordSchema kTrade{"trade", kTradeFields};

// One point of a minute chart; avg defaults to the price, momentum to 0.
inline constexpr Field kMinuteFields[] = {
    {"time", Kind::TimeOfDay, true, {}},
    {"price", Kind::Float, true, {}},
    {"avg", Kind::Float, false, {}},
    {"vol", Kind::Int, true, {}},
    {"momentum", Kind::Float, false, {}},
};
inline constexpr RecordSchema kMinute{"minute", kMinuteFields};

// One call-auction snapshot.
inline constexpr Field kSnapshotFields[] = {
    {"time", Kind::TimeOfDay, true, {}},
    {"price", Kind::Float, true, {}},
    {"matched", Kind::Int, true, {}},
    {"unmatched", Kind::Int, true, {}},
};
inline constexpr RecordSchema kSnapshot{"snapshot", kSnapshotFields};

// One stroke (bi). Its ends are given as Unix seconds (sdt_ts, edt_ts) or as
// date-time values (sdt, edt); see the stroke reader for which wins.
inline constexpr Field kStrokeFields[] = {
    {"direction", Kind::Text, true, {}},
    {"high", Kind::Float, true, {}},
    {"low", Kind::Float, true, {}},
    {"sdt_ts", Kind::Int, false, {}},
    {"sdt", Kind::DateTime, false, {}},
    {"edt_ts", Kind::Int, false, {}},
    {"edt", Kind::DateTime, false, {}},
};
inline constexpr RecordSchema kStroke{"stroke", kStrokeFields};

// One symbol's day in a table of days: the reference prices the intraday
// analyses take besides their records. Each analysis reads the fields it
// needs; tushare's daily and limit tables and Chinese headers name them too.
inline constexpr Field kDayFields[] = {
    {"pre_close", Kind::Float, false, {"昨收", "前收盘"}},
    {"high", Kind::Float, false, {"最高"}},
    {"low", Kind::Float, false, {"最低"}},
    {"breakout", Kind::Float, false, {}},
    {"open_price", Kind::Float, false, {"open", "开盘"}},
    {"limit_up", Kind::Float, false, {"up_limit", "涨停价"}},
    {"limit_down", Kind::Float, false, {"down_limit", "跌停价"}},
    {"low_price", Kind::Float, false, {}},
};
inline constexpr RecordSchema kDay{"day", kDayFields};

}  // namespace zj_core::schema
