#include <gtest/gtest.h>

#include <cstdlib>

#include "AboutTestSupport.h"
#include "qelSendEmailPortal.h"

namespace {

using about_test::TAboutFixture;

class EmailPortalTest : public ::testing::Test, protected TAboutFixture {
protected:
    bool Send(const std::string& recipient) {
        return SendVersionEmail(recipient, "", "Pollark User: Pollark Version Info",
                                Folder() + "VersionMessage.txt", 0, 0, Folder());
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : m_services.Boxes()) texts.push_back(box.request.text);
        return texts;
    }
};

TEST_F(EmailPortalTest, MissingPluginRaisesAndLoadsNothing) {
    EXPECT_FALSE(PluginAvailable(Folder()));
    try {
        Send("a@b.example");
        FAIL() << "no error";
    } catch (const EqelSendEmailPortal& e) {
        EXPECT_EQ(e.Message(),
                  "Attempt to access QEL Send Email library when plugin not available");
    }
    EXPECT_FALSE(PluginLoaded());
    EXPECT_TRUE(PluginCalls().empty());
    EXPECT_TRUE(m_services.Boxes().empty());
}

TEST_F(EmailPortalTest, RecordingPluginGetsTheArgumentsAsSent) {
    // Found without regard to the case of its name.
    Install(RECORDING_PLUGIN, "LibQelEmail.SO");
    EXPECT_EQ(PluginFileName(Folder()), Folder() + "LibQelEmail.SO");
    EXPECT_TRUE(Send("claims@host.example"));
    EXPECT_TRUE(Send(""));
    const std::string file = Folder() + "VersionMessage.txt";
    const std::vector<std::string> expected = {
        "start none",
        "send claims@host.example|(null)|Pollark User: Pollark Version Info|" + file + "|0|0",
        "stop",
        "start none",
        "send (null)|(null)|Pollark User: Pollark Version Info|" + file + "|0|0",
        "stop"};
    EXPECT_EQ(PluginCalls(), expected);
    EXPECT_FALSE(PluginLoaded());
    EXPECT_TRUE(m_services.Boxes().empty());
}

TEST_F(EmailPortalTest, AnswerIsTheLowByte) {
    Install(RECORDING_PLUGIN, "libqelEmail.so");
    const struct {
        const char* answer;
        bool sent;
    } cases[] = {{"1", true}, {"0", false}, {"0x100", false}, {"0x1FF", true}};
    for (const auto& c : cases) {
        setenv("QELEMAIL_ANSWER", c.answer, 1);
        EXPECT_EQ(Send("a@b.example"), c.sent) << c.answer;
    }
}

TEST_F(EmailPortalTest, PluginWithoutBopSendIsRefusedAndNeverSends) {
    Install(LACKING_PLUGIN, "libqelEmail.so");
    EXPECT_FALSE(Send("a@b.example"));
    const std::vector<std::string> boxes = {
        "qelSendEmailPortal: Routine not valid. - qelBopSendEmail"};
    EXPECT_EQ(BoxTexts(), boxes);
    // Only what was bound is called on unloading: the stop entry point.
    const std::vector<std::string> calls = {"stop"};
    EXPECT_EQ(PluginCalls(), calls);
    EXPECT_FALSE(PluginLoaded());
}

TEST_F(EmailPortalTest, FileThatIsNotALibraryIsRefused) {
    Write("libqelEmail.so", "not a shared object");
    EXPECT_FALSE(Send("a@b.example"));
    const std::vector<std::string> boxes = {"qelSendEmailPortal: Unable to load " + Folder() +
                                            "libqelEmail.so"};
    EXPECT_EQ(BoxTexts(), boxes);
    EXPECT_FALSE(PluginLoaded());
}

TEST_F(EmailPortalTest, InterfaceLoadsOnceAndUnloadsWhenDestroyed) {
    Install(RECORDING_PLUGIN, "libqelEmail.so");
    {
        TqelEmailIntf email(Folder(), 7);
        EXPECT_FALSE(email.Loaded());
        EXPECT_TRUE(email.SendEmail("x@y.example", "second", "Subject", "", 3, 4));
        EXPECT_TRUE(email.SendEmail("x@y.example", "", "Subject", "", 0, 0));
        EXPECT_TRUE(PluginLoaded());
    }
    EXPECT_FALSE(PluginLoaded());
    const std::vector<std::string> expected = {
        "start window", "send x@y.example|second|Subject|(null)|3|4",
        "send x@y.example|(null)|Subject|(null)|0|0", "stop"};
    EXPECT_EQ(PluginCalls(), expected);
}

}  // namespace
