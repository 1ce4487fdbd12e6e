#include "host/olap/CubeBuilder.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/olap/CubeDatabase.h"
#include "host/olap/CubeRows.h"
#include "host/olap/CubeStatements.h"
#include "host/olap/OlapErrors.h"
#include "host/olap/SourceRows.h"

namespace host::olap {

namespace {

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

// Writes one cube into the database: the source rows are read once and gathered into leaves and fact
// rows here; the tables are filled with multi-row inserts and indexed once they are full.
class CubeWriter {
public:
    CubeWriter(CubeDatabase& database, const CubeDefinition& cube, const InsertDefinition& insert)
        : db_(database), cube_(cube), insert_(insert) {}

    void write(const std::string& source) {
        std::vector<DimensionLeaves> dimensions;
        for (const auto& levels : insert_.levels) dimensions.emplace_back(levels);
        Facts facts(cube_, dimensions.size());
        std::vector<std::uint32_t> leaves(dimensions.size());
        readSourceRows(source, insert_.selectText, insert_.columnCount, db_.commandTimeout, [&](const SourceRow& row) {
            for (std::size_t d = 0; d < dimensions.size(); ++d) leaves[d] = dimensions[d].leafOf(row);
            facts.add(leaves, row, insert_.measures);
        });

        createCatalogue();
        number_ = replaceEarlierCube();
        db_.execute("CREATE TABLE " + table("members") +
                    " (dim_no INTEGER, level_no INTEGER, first_leaf INTEGER, last_leaf INTEGER, member_key TEXT, "
                    "member_name TEXT, name_folded TEXT)");
        RowWriter members(db_, table("members"));
        std::vector<std::vector<long>> leafNumbers;
        for (int d = 1; d <= dimensionCount(); ++d) {
            db_.execute("CREATE TABLE " + table("dim" + std::to_string(d)) + " (leaf INTEGER, " +
                        joined(levelCount(d), [](int l) {
                            return "key" + std::to_string(l) + " TEXT, name" + std::to_string(l) + " TEXT";
                        }) + ")");
            leafNumbers.push_back(dimensions[d - 1].numberLeaves());
            dimensions[d - 1].write(db_, table("dim" + std::to_string(d)), members, d, cube_.dimensions[d - 1].allName);
        }
        members.flush();
        db_.execute("CREATE TABLE " + table("facts") + " (" +
                    joined(dimensionCount(), [](int d) { return "d" + std::to_string(d) + " INTEGER"; }) + ", " +
                    joined(measureCount(), [](int m) { return "m" + std::to_string(m) + " DOUBLE PRECISION"; }) + ")");
        RowWriter factRows(db_, table("facts"));
        facts.write(factRows, leafNumbers);
        createIndexes();
        writeCatalogueRows();
    }

private:
    int dimensionCount() const { return static_cast<int>(cube_.dimensions.size()); }
    int levelCount(int d) const { return static_cast<int>(cube_.dimensions[d - 1].levels.size()); }
    int measureCount() const { return static_cast<int>(cube_.measures.size()); }
    std::string table(const std::string& part) const { return db_.table("olap_" + std::to_string(number_) + "_" + part); }

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

    void createIndexes() {
        const std::string prefix = "olap_" + std::to_string(number_) + "_";
        auto index = [&](const std::string& name, const std::string& on, const std::string& columns) {
            db_.execute("CREATE INDEX " + sqlName(prefix + name) + " ON " + table(on) + " (" + columns + ")");
        };
        index("members_name", "members", "dim_no, member_name");
        index("members_folded", "members", "dim_no, name_folded");
        index("members_key", "members", "dim_no, member_key");
        index("members_level", "members", "dim_no, level_no, first_leaf");
        for (int d = 1; d <= dimensionCount(); ++d) index("facts_d" + std::to_string(d), "facts", "d" + std::to_string(d));
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

// Writes the cube in one transaction, so that a failure leaves the database as it was; a cube file
// then gives back the space that an earlier cube of the same name left free.
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
    if (!database.isServer() && database.rows("PRAGMA freelist_count")[0][0].toDouble() > 0) database.execute("VACUUM");
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
