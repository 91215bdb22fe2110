// The sample archive the repository ships is what its generator writes, and
// it opens in the program as six models with their names.

#include <QString>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "sample_archive.h"
#include "ui/dat_view.h"

namespace {

TEST(Sample, TheShippedArchiveIsWhatTheGeneratorWrites) {
    EXPECT_EQ(kvtest::ReadFileBytes(KORVANE_SAMPLE), kvsample::BuildSampleArchive())
        << "re-make it: make_sample samples/sample.SC4Model";
}

TEST(Sample, OpensWithSixModels) {
    kvtest::ClearKorvaneSettings();
    kvtest::AppRun run({QString::fromUtf8(KORVANE_SAMPLE)});
    ASSERT_TRUE(run.started);
    auto* list = dynamic_cast<CDATView*>(run.frame()->MDIGetActive()->GetActiveView());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->GetItemCount(), 6);
    QStringList names;
    for (int r = 0; r < 6; ++r) names << list->GetItemText(r, CDATListModel::kColName) + "/" + list->GetItemText(r, CDATListModel::kColViews);
    EXPECT_EQ(names, (QStringList{"Garden_Shed/1", "Water_Tower/1", "Bus_Stop/1", "Billboard/1", "Corner_Shop/20",
                                  "Office_Block/20"}));
    EXPECT_TRUE(run.messages.boxes().empty());
    run.End();
    kvtest::ClearKorvaneSettings();
}

}  // namespace
