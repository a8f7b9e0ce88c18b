// The outbox: oldest first, seq kept across reopening and never given twice, bounded.
#include <gtest/gtest.h>

#include "publishing/Outbox.h"
#include "support/TempDir.h"

namespace rheo {
namespace {

const auto Numbered = [](std::int64_t seq) { return "message " + std::to_string(seq); };

TEST(Outbox, OldestFirstAndSeqGoesOnAcrossReopeningAndRemoval) {
    test::TempDir directory;
    const std::string path = directory.File("visco-1.outbox");
    std::string error;
    {
        auto outbox = Outbox::Open(path, error);
        ASSERT_TRUE(outbox) << error;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(outbox->Add("lab/a/reading", Numbered), OutboxAdd::Queued);
        }
        EXPECT_EQ(outbox->Add("lab/a/event", Numbered), OutboxAdd::Queued);
        const auto all = outbox->After(0, 10);
        ASSERT_EQ(all.size(), 4u);
        EXPECT_EQ(all[2].payload, "message 3");
        EXPECT_EQ(all[3].topic, "lab/a/event");
        EXPECT_EQ(all[3].payload, "message 1");  // each topic counts on its own
        EXPECT_EQ(outbox->After(all[1].id, 1).front().payload, "message 3");
        // Everything acknowledged: the outbox is empty, the numbers are not forgotten.
        ASSERT_TRUE(outbox->Remove({all[0].id, all[1].id, all[2].id, all[3].id}));
        EXPECT_EQ(outbox->Size(), 0);
    }
    auto reopened = Outbox::Open(path, error);
    ASSERT_TRUE(reopened) << error;
    EXPECT_EQ(reopened->LastSeq("lab/a/reading"), 3);
    EXPECT_EQ(reopened->Add("lab/a/reading", Numbered), OutboxAdd::Queued);
    const auto left = reopened->After(0, 10);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].payload, "message 4");
    EXPECT_EQ(reopened->Size(), 1);
}

TEST(Outbox, WhenFullNewMessagesAreRefusedAndSaidOnce) {
    test::TempDir directory;
    std::string error;
    auto outbox = Outbox::Open(directory.File("o"), error, 2);
    ASSERT_TRUE(outbox) << error;
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::Queued);
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::Queued);
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::BecameFull);
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::Full);
    ASSERT_TRUE(outbox->Remove({outbox->After(0, 1).front().id}));
    // Room again; the refused messages' numbers stay used, a gap a consumer can see.
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::Queued);
    EXPECT_EQ(outbox->After(0, 10).back().payload, "message 5");
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::BecameFull);
}

TEST(Outbox, ABatchIsOneTransactionThatNumbersAndBoundsAsSingleAddsDo) {
    test::TempDir directory;
    std::string error;
    auto outbox = Outbox::Open(directory.File("o"), error, 3);
    ASSERT_TRUE(outbox) << error;
    EXPECT_EQ(outbox->Add("t", Numbered), OutboxAdd::Queued);
    const std::vector<OutboxMessage> batch{
        {"t", Numbered}, {"u", Numbered}, {"t", Numbered}, {"t", Numbered}};
    EXPECT_EQ(outbox->AddAll(batch), (std::vector{OutboxAdd::Queued, OutboxAdd::Queued,
                                                  OutboxAdd::BecameFull, OutboxAdd::Full}));
    EXPECT_EQ(outbox->Size(), 3);
    const auto all = outbox->After(0, 10);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].payload, "message 2");
    EXPECT_EQ(all[2].topic, "u");
    EXPECT_EQ(all[2].payload, "message 1");
    EXPECT_EQ(outbox->LastSeq("t"), 4);  // the refused ones took their numbers
}

}  // namespace
}  // namespace rheo
