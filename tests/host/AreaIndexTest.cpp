// The index of referenced areas against a plain scan, and dirty marking through it.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "host/sheet/AreaIndex.h"
#include "host/sheet/Application.h"

using namespace host;
using namespace host::sheet;
using formula::Area;

namespace {

Area randomArea(std::mt19937& random) {
    auto pick = [&](int limit) {
        // Mostly small areas near the top, some whole columns and rows, some anywhere.
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
        case 0: return std::pair{1, limit};
        case 1: {
            const int a = std::uniform_int_distribution<int>(1, limit)(random);
            return std::pair{a, std::min(limit, a + std::uniform_int_distribution<int>(0, 3000)(random))};
        }
        default: {
            const int a = std::uniform_int_distribution<int>(1, 200)(random);
            return std::pair{a, a + std::uniform_int_distribution<int>(0, 20)(random)};
        }
        }
    };
    const auto [top, bottom] = pick(formula::kMaxRows);
    const auto [left, right] = pick(formula::kMaxColumns);
    return {top, left, bottom, right};
}

bool overlaps(const Area& a, const Area& b) {
    return a.top <= b.bottom && a.bottom >= b.top && a.left <= b.right && a.right >= b.left;
}

}  // namespace

TEST(AreaIndex, FindsWhatAScanFinds) {
    std::mt19937 random(42);
    AreaIndex<int> index;
    std::vector<std::pair<Area, int>> all;
    for (int i = 0; i < 600; ++i) {
        all.emplace_back(randomArea(random), i);
        index.add(all.back().first, i);
    }
    for (int i = 0; i < 200; ++i) {  // some go again
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, all.size() - 1)(random);
        index.remove(all[at].first, all[at].second);
        all.erase(all.begin() + static_cast<long>(at));
    }
    for (int q = 0; q < 300; ++q) {
        const Area probe = q % 2 ? randomArea(random)
                                  : Area::cell(std::uniform_int_distribution<int>(1, 300)(random),
                                               std::uniform_int_distribution<int>(1, 300)(random));
        std::vector<int> expected, found;
        for (const auto& [area, value] : all)
            if (probe.isSingleCell() ? area.contains(probe.top, probe.left) : overlaps(area, probe)) expected.push_back(value);
        if (probe.isSingleCell())
            index.forEachContaining(probe.top, probe.left, [&](int v) { found.push_back(v); });
        else
            index.forEachOverlapping(probe, [&](int v) { found.push_back(v); });
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found, expected) << "query " << q;
    }
}

TEST(AreaIndex, ChangingOneInputUpdatesEveryRangeDependentRow) {
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    const int rows = 3000;
    app->setCalculation(CalculationMode::Manual);
    for (int r = 1; r <= rows; ++r) {
        sheet->cells(r, 1)->setValue(1.0);
        const std::string i = std::to_string(r);
        sheet->cells(r, 2)->setFormula(r <= 5 ? "=A" + i : "=A" + i + "+AVERAGE(B" + std::to_string(r - 5) + ":B" + std::to_string(r - 1) + ")/2");
    }
    app->setCalculation(CalculationMode::Automatic);
    sheet->range("A1")->setValue(4.0);
    std::vector<double> expected(rows + 1, 1.0);
    expected[1] = 4.0;
    for (int r = 6; r <= rows; ++r) {
        double sum = 0;
        for (int k = r - 5; k < r; ++k) sum += expected[k];
        expected[r] = 1.0 + sum / 5 / 2;
    }
    for (int r : {1, 2, 6, 7, 100, rows})
        EXPECT_DOUBLE_EQ(sheet->cells(r, 2)->value().toDouble(), expected[r]) << "row " << r;
}
