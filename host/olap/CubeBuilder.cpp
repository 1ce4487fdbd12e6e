#include "host/olap/CubeBuilder.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/olap/CubeDatabase.h"
#include "host/olap/CubeStatements.h"
#include "host/olap/OlapErrors.h"
#include "host/olap/SourceRows.h"

namespace host::olap {

namespace {

constexpr int kRowsPerInsert = 200;

std::optional<double> asNumber(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const std::string trimmed = Trim(*text);
    double value = 0;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (ec != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string numberOrNull(std::optional<double> value) { return value ? sqlNumber(*value) : "NULL"; }

std::string aggregateName(Aggregate aggregate) {
    switch (aggregate) {
    case Aggregate::Count: return "COUNT";
    case Aggregate::Min: return "MIN";
    case Aggregate::Max: return "MAX";
    case Aggregate::Sum: break;
    }
    return "SUM";
}

std::string joined(int count, const std::function<std::string(int)>& item, const std::string& separator = ", ") {
    std::string out;
    for (int i = 1; i <= count; ++i) out += (i > 1 ? separator : "") + item(i);
    return out;
}

// Writes one cube into the database: the staging table of source rows, the dimension tables, the
// member index, the fact table and the catalogue rows.
class CubeWriter {
public:
    CubeWriter(CubeDatabase& database, const CubeDefinition& cube, const InsertDefinition& insert)
        : db_(database), cube_(cube), insert_(insert) {}

    void write(const std::string& source) {
        createCatalogue();
        number_ = replaceEarlierCube();
        load(source);
        db_.execute("CREATE TABLE " + table("members") +
                    " (dim_no INTEGER, level_no INTEGER, first_leaf INTEGER, last_leaf INTEGER, member_key TEXT, "
                    "member_name TEXT)");
        for (int d = 1; d <= dimensionCount(); ++d) writeDimension(d);
        writeFacts();
        writeCatalogueRows();
        db_.execute("DROP TABLE " + table("load"));
    }

private:
    int dimensionCount() const { return static_cast<int>(cube_.dimensions.size()); }
    int levelCount(int d) const { return static_cast<int>(cube_.dimensions[d - 1].levels.size()); }
    int measureCount() const { return static_cast<int>(cube_.measures.size()); }
    std::string table(const std::string& part) const { return db_.table("olap_" + std::to_string(number_) + "_" + part); }
    static std::string levelColumn(const char* what, int d, int l) {
        return what + std::to_string(d) + "_" + std::to_string(l);
    }

    void createCatalogue() {
        if (!db_.schema().empty()) db_.execute("CREATE SCHEMA IF NOT EXISTS " + sqlName(db_.schema()));
        db_.execute("CREATE TABLE IF NOT EXISTS " + db_.table("olap_cubes") + " (cube_no INTEGER, cube_name TEXT)");
        db_.execute("CREATE TABLE IF NOT EXISTS " + db_.table("olap_dimensions") +
                    " (cube_no INTEGER, dim_no INTEGER, dim_name TEXT, all_name TEXT, leaf_count INTEGER)");
        db_.execute("CREATE TABLE IF NOT EXISTS " + db_.table("olap_levels") +
                    " (cube_no INTEGER, dim_no INTEGER, level_no INTEGER, level_name TEXT)");
        db_.execute("CREATE TABLE IF NOT EXISTS " + db_.table("olap_measures") +
                    " (cube_no INTEGER, measure_no INTEGER, measure_name TEXT, aggregate TEXT, format_text TEXT)");
    }

    // Drops a cube of the same name and gives the number of the new one.
    int replaceEarlierCube() {
        int highest = 0;
        for (const auto& row : db_.rows("SELECT cube_no, cube_name FROM " + db_.table("olap_cubes"))) {
            const int number = static_cast<int>(row[0].toDouble());
            highest = std::max(highest, number);
            if (row[1].isNull() || StrComp(row[1].toString(), cube_.name, CompareMethod::Text) != 0) continue;
            const std::string prefix = "olap_" + std::to_string(number) + "_";
            std::vector<std::string> tables{"load", "members", "facts"};
            for (const auto& dim : db_.rows("SELECT dim_no FROM " + db_.table("olap_dimensions") +
                                            " WHERE cube_no = " + std::to_string(number)))
                tables.push_back("dim" + std::to_string(static_cast<int>(dim[0].toDouble())));
            for (const std::string& t : tables) db_.execute("DROP TABLE IF EXISTS " + db_.table(prefix + t));
            for (const char* catalogue : {"olap_cubes", "olap_dimensions", "olap_levels", "olap_measures"})
                db_.execute("DELETE FROM " + db_.table(catalogue) + " WHERE cube_no = " + std::to_string(number));
        }
        return highest + 1;
    }

    // The source rows in a staging table: per level its key, name and the key's numeric value (for
    // ordering), per measure its value (1 for a counted value).
    void load(const std::string& source) {
        std::string columns;
        for (int d = 1; d <= dimensionCount(); ++d)
            for (int l = 1; l <= levelCount(d); ++l)
                columns += levelColumn("k", d, l) + " TEXT, " + levelColumn("n", d, l) + " TEXT, " +
                           levelColumn("s", d, l) + " DOUBLE PRECISION, ";
        columns += joined(measureCount(), [](int m) { return "m" + std::to_string(m) + " DOUBLE PRECISION"; });
        db_.execute("CREATE TABLE " + table("load") + " (" + columns + ")");

        std::string values;
        int pending = 0;
        auto flush = [&] {
            if (pending == 0) return;
            db_.execute("INSERT INTO " + table("load") + " VALUES " + values);
            values.clear();
            pending = 0;
        };
        readSourceRows(source, insert_.selectText, insert_.columnCount, db_.commandTimeout, [&](const SourceRow& row) {
            values += pending ? ",(" : "(";
            for (std::size_t d = 0; d < insert_.levels.size(); ++d)
                for (const LevelColumns& level : insert_.levels[d]) {
                    const std::string key = row[level.key].value_or("");
                    values += sqlText(key) + "," + sqlText(row[level.name].value_or(key)) + "," +
                              numberOrNull(asNumber(key)) + ",";
                }
            for (std::size_t m = 0; m < insert_.measures.size(); ++m) {
                const auto& value = row[insert_.measures[m]];
                const bool counted = cube_.measures[m].aggregate == Aggregate::Count;
                values += (m ? "," : "") +
                          (counted ? std::string(value ? "1" : "NULL") : numberOrNull(asNumber(value)));
            }
            values += ")";
            if (++pending == kRowsPerInsert) flush();
        });
        flush();
    }

    // The dimension table (leaves numbered in key order) and its members with their leaf ranges.
    void writeDimension(int d) {
        const int levels = levelCount(d);
        auto keys = [&](int upTo, const char* prefix) {
            return joined(upTo, [&](int l) { return prefix + levelColumn("k", d, l); });
        };
        db_.execute("CREATE TABLE " + table("dim" + std::to_string(d)) + " (leaf INTEGER, " +
                    joined(levels, [](int l) {
                        return "key" + std::to_string(l) + " TEXT, name" + std::to_string(l) + " TEXT";
                    }) + ")");
        const std::string order = joined(levels, [&](int l) {
            const std::string s = "MIN(" + levelColumn("s", d, l) + ")";
            return s + " IS NULL, " + s + ", " + levelColumn("k", d, l);
        });
        db_.execute("INSERT INTO " + table("dim" + std::to_string(d)) + " SELECT ROW_NUMBER() OVER (ORDER BY " + order +
                    "), " + joined(levels, [&](int l) {
                        return levelColumn("k", d, l) + ", MIN(" + levelColumn("n", d, l) + ")";
                    }) + " FROM " + table("load") + " GROUP BY " + keys(levels, ""));

        const std::string dimTable = table("dim" + std::to_string(d));
        db_.execute("INSERT INTO " + table("members") + " SELECT " + std::to_string(d) + ", 0, 1, COUNT(*), NULL, " +
                    sqlText(cube_.dimensions[d - 1].allName) + " FROM " + dimTable);
        for (int l = 1; l <= levels; ++l)
            db_.execute("INSERT INTO " + table("members") + " SELECT " + std::to_string(d) + ", " + std::to_string(l) +
                        ", MIN(leaf), MAX(leaf), key" + std::to_string(l) + ", MIN(name" + std::to_string(l) +
                        ") FROM " + dimTable + " GROUP BY " +
                        joined(l, [](int k) { return "key" + std::to_string(k); }));
    }

    void writeFacts() {
        const std::string members = "olap_" + std::to_string(number_) + "_members";
        db_.execute("CREATE INDEX " + sqlName(members + "_name") + " ON " + table("members") + " (dim_no, member_name)");
        db_.execute("CREATE INDEX " + sqlName(members + "_key") + " ON " + table("members") + " (dim_no, member_key)");
        db_.execute("CREATE INDEX " + sqlName(members + "_level") + " ON " + table("members") +
                    " (dim_no, level_no, first_leaf)");

        db_.execute("CREATE TABLE " + table("facts") + " (" +
                    joined(dimensionCount(), [](int d) { return "d" + std::to_string(d) + " INTEGER"; }) + ", " +
                    joined(measureCount(), [](int m) { return "m" + std::to_string(m) + " DOUBLE PRECISION"; }) + ")");
        std::string joins;
        for (int d = 1; d <= dimensionCount(); ++d)
            joins += " JOIN " + table("dim" + std::to_string(d)) + " t" + std::to_string(d) + " ON " +
                     joined(levelCount(d), [&](int l) {
                         return "s." + levelColumn("k", d, l) + " = t" + std::to_string(d) + ".key" + std::to_string(l);
                     }, " AND ");
        const std::string leaves = joined(dimensionCount(), [](int d) { return "t" + std::to_string(d) + ".leaf"; });
        db_.execute("INSERT INTO " + table("facts") + " SELECT " + leaves + ", " +
                    joined(measureCount(), [&](int m) {
                        return aggregateName(cube_.measures[m - 1].aggregate) + "(s.m" + std::to_string(m) + ")";
                    }) + " FROM " + table("load") + " s" + joins + " GROUP BY " + leaves);
        for (int d = 1; d <= dimensionCount(); ++d)
            db_.execute("CREATE INDEX " + sqlName("olap_" + std::to_string(number_) + "_facts_d" + std::to_string(d)) +
                        " ON " + table("facts") + " (d" + std::to_string(d) + ")");
    }

    void writeCatalogueRows() {
        const std::string cubeNo = std::to_string(number_);
        db_.execute("INSERT INTO " + db_.table("olap_cubes") + " VALUES (" + cubeNo + ", " + sqlText(cube_.name) + ")");
        for (int d = 1; d <= dimensionCount(); ++d) {
            const DimensionDefinition& dimension = cube_.dimensions[d - 1];
            db_.execute("INSERT INTO " + db_.table("olap_dimensions") + " SELECT " + cubeNo + ", " + std::to_string(d) +
                        ", " + sqlText(dimension.name) + ", " + sqlText(dimension.allName) + ", COUNT(*) FROM " +
                        table("dim" + std::to_string(d)));
            for (int l = 1; l <= levelCount(d); ++l)
                db_.execute("INSERT INTO " + db_.table("olap_levels") + " VALUES (" + cubeNo + ", " + std::to_string(d) +
                            ", " + std::to_string(l) + ", " + sqlText(dimension.levels[l - 1]) + ")");
        }
        for (int m = 1; m <= measureCount(); ++m) {
            const MeasureDefinition& measure = cube_.measures[m - 1];
            db_.execute("INSERT INTO " + db_.table("olap_measures") + " VALUES (" + cubeNo + ", " + std::to_string(m) +
                        ", " + sqlText(measure.name) + ", '" + aggregateName(measure.aggregate) + "', " +
                        sqlText(measure.format) + ")");
        }
    }

    CubeDatabase& db_;
    const CubeDefinition& cube_;
    const InsertDefinition& insert_;
    int number_ = 0;
};

// Writes the cube in one transaction, so that a failure leaves the database as it was.
void writeCube(CubeDatabase& database, const CubeDefinition& cube, const InsertDefinition& insert,
               const std::string& source) {
    database.execute("BEGIN");
    try {
        CubeWriter(database, cube, insert).write(source);
        database.execute("COMMIT");
    } catch (const RuntimeError&) {
        try {
            database.execute("ROLLBACK");
        } catch (const RuntimeError&) {  // the failure that got here is the one to report
        }
        throw;
    }
}

}  // namespace

void buildCube(const std::string& connectionText, const std::string& user, const std::string& password) {
    const std::vector<ado::ConnectionItem> items = parseProviderText(connectionText);
    const std::string source = providerItem(items, "SOURCE_DSN");
    const std::string insertText = providerItem(items, "INSERTINTO");
    if (source.empty() || insertText.empty())
        throwCubeError("Building a cube needs SOURCE_DSN, CREATECUBE and INSERTINTO.");
    const CubeDefinition cube = parseCreateCube(providerItem(items, "CREATECUBE"));
    const InsertDefinition insert = parseInsertInto(insertText, cube);

    std::string createdFile;
    try {
        CubeDatabase database(items, true, user, password, 15);
        createdFile = database.createdFile();
        database.commandTimeout = 0;  // a large source takes as long as it takes
        writeCube(database, cube, insert, source);
    } catch (const RuntimeError&) {
        std::error_code ignored;  // a cube file made for this build goes again; the failure is what counts
        if (!createdFile.empty()) std::filesystem::remove(createdFile, ignored);
        throw;
    }
}

}  // namespace host::olap
