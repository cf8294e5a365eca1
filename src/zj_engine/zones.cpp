// zones: the pivot zones of every symbol's strokes (zjkit.frame.zones), one
// row per zone.
#include <cmath>
#include <utility>
#include <vector>

#include "zj_core/zs.hpp"
#include "zj_engine/record_frame.hpp"

namespace zj_engine {
namespace {

namespace clinic = zj_python::clinic;
namespace zs = zj_core::zs;

constexpr std::int64_t kNsPerDay = 86'400'000'000'000;

zj_core::DateTime from_ns(std::int64_t ns) {
    std::int64_t days = ns / kNsPerDay, rest = ns % kNsPerDay;
    if (rest < 0) rest += kNsPerDay, --days;
    return zj_core::DateTime{days, static_cast<std::uint32_t>(rest / 1'000'000'000),
                             static_cast<std::uint32_t>(rest % 1'000'000'000)};
}

// A stroke end: Unix seconds where given (and not null), else the date-time.
zj_core::DateTime end_at(const records::Input& in, std::uint32_t row, const char* unix_name, const char* dt_name,
                         std::size_t record) {
    const auto& unix = in.field(unix_name);
    if (unix.present() && (unix.valid.empty() || unix.valid[row] != 0)) {
        if (auto t = zj_core::DateTime::from_unix(unix.i64[row])) return *t;
    } else if (const auto& dt = in.field(dt_name); dt.present()) {
        return from_ns(dt.i64[row]);
    }
    throw records::SymbolError(std::string("Missing or invalid time: '") + unix_name + "' (unix secs) / '" + dt_name +
                               "' (str) in record " + std::to_string(record) + " (row " + std::to_string(row) + ")");
}

std::vector<zs::Bi> strokes_of(const records::Input& in, std::size_t g) {
    const auto& direction = in.field("direction");
    const auto& high = in.field("high");
    const auto& low = in.field("low");
    const auto rows = in.rows(g);
    std::vector<zs::Bi> out(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::uint32_t r = rows[k];
        zs::Bi& b = out[k];
        const std::int32_t code = direction.codes[r];
        const std::string_view d = code < 0 ? std::string_view() : direction.dictionary[static_cast<std::size_t>(code)];
        const std::optional<zs::Direction> dir = code < 0 ? std::nullopt : zs::parse_direction(d);
        if (!dir)
            throw records::SymbolError((code < 0 ? std::string("Missing 'direction'") : zs::invalid_direction_message(d)) +
                                       " in record " + std::to_string(k) + " (row " + std::to_string(r) + ")");
        b.direction = *dir;
        b.high = high.f64[r];
        b.low = low.f64[r];
        b.sdt = end_at(in, r, "sdt_ts", "sdt", k);
        b.edt = end_at(in, r, "edt_ts", "edt", k);
    }
    return out;
}

Ref zones(PyObject* strokes, PyObject* symbol, PyObject* columns, std::uint64_t workers) {
    const Pool pool = records::make_pool(workers);
    const records::Input in = records::read_input(strokes, zj_core::schema::kStroke, symbol, columns, pool);
    for (const auto& [unix, dt] : {std::pair{"sdt_ts", "sdt"}, std::pair{"edt_ts", "edt"}})
        if (!in.field(unix).present() && !in.field(dt).present())
            zj_python::raise_value_error(std::string("missing column '") + dt + "' or '" + unix +
                                         "' (stroke field); found " + in.table.names());
    std::vector<std::vector<zs::Zs>> found(in.groups.size());
    const auto outcomes = released([&] {
        return records::run_groups(in, pool, [&](std::size_t g, records::Outcome&) {
            found[g] = zs::get_zs_seq(strokes_of(in, g));
        });
    });
    std::vector<std::size_t> rows;
    std::vector<const zs::Zs*> zones;
    for (std::size_t g : in.sorted) {
        if (!outcomes[g].error.empty()) continue;
        for (const zs::Zs& z : found[g]) {
            rows.push_back(g);
            zones.push_back(&z);
        }
    }
    // Columns built without the GIL; only handing them over needs it.
    records::Output out = released([&] {
        records::Output o(rows.size());
        o.add<zs::Zs>(zj_core::results::kZone, zones);
        return o;
    });
    return records::finish(in, rows, out, outcomes, false);
}

constexpr auto kZones = clinic::Function{"zones", Object{"strokes"}, Object{"symbol", true}, Object{"columns", true},
                                         clinic::USize{"workers", 1}}
                            .with_doc("Pivot zones per symbol, one row per zone; the engine of zjkit.frame.zones.");

}  // namespace

void register_zones(PyObject* module) { add_engine_function(module, clinic::method<kZones, zones>()); }

}  // namespace zj_engine
