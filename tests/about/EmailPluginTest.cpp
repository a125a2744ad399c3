// The e-mail plug-in we ship: what it hands to the desktop's mail program.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "AboutTestSupport.h"
#include "platform/Files.h"
#include "qelEmail.h"

namespace {

using about_test::TAboutFixture;

class EmailPluginTest : public ::testing::Test, protected TAboutFixture {
protected:
    EmailPluginTest() : m_oldPath(std::getenv("PATH") ? std::getenv("PATH") : "") {
        m_library = dlopen(SHIPPED_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        if (m_library)
            m_send = reinterpret_cast<TqelSendEmailProc>(dlsym(m_library, QEL_QEL_SEND_NAME));
        m_message = Write("inst/VersionMessage.txt", "\r\n  Exe/Dll versions\r\n caf\xe9 & co\r\n");
        Write("bin/.keep", "");
        setenv("PATH", (Folder() + "bin").c_str(), 1);
    }
    ~EmailPluginTest() override {
        setenv("PATH", m_oldPath.c_str(), 1);
        if (m_library) dlclose(m_library);
    }
    // A stand-in xdg-email on the PATH that writes its arguments, one a line.
    void InstallFakeXdgEmail() {
        const std::string script =
            Write("bin/xdg-email", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + Folder() +
                                       "args.tmp\"\n/bin/mv \"" + Folder() + "args.tmp\" \"" +
                                       Folder() + "args\"\n");
        chmod(script.c_str(), 0755);
    }
    std::vector<std::string> WaitForArguments() const {
        for (int i = 0; i < 500 && !platform::FileExists(Folder() + "args"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return about_test::Lines(about_test::ReadFile(Folder() + "args"));
    }

    std::string m_oldPath;
    void* m_library = nullptr;
    TqelSendEmailProc m_send = nullptr;
    std::string m_message;
};

TEST_F(EmailPluginTest, ExportsTheFourEntryPoints) {
    ASSERT_NE(m_library, nullptr) << dlerror();
    // Exactly the four: nothing else of the plug-in can interpose.
    FILE* listing = popen("/usr/bin/nm -D --defined-only '" SHIPPED_PLUGIN "'", "r");
    ASSERT_NE(listing, nullptr);
    std::vector<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, listing)) {
        std::string text = line;
        text.erase(text.find_last_not_of("\r\n") + 1);
        exported.push_back(text.substr(text.rfind(' ') + 1));
    }
    pclose(listing);
    std::sort(exported.begin(), exported.end());
    const std::vector<std::string> expected = {QEL_BOP_SEND_NAME, QEL_EMAIL_START_NAME,
                                               QEL_EMAIL_STOP_NAME, QEL_QEL_SEND_NAME};
    EXPECT_EQ(exported, expected);
}

TEST_F(EmailPluginTest, HandsTheMessageToXdgEmailAsAttachment) {
    ASSERT_NE(m_send, nullptr);
    InstallFakeXdgEmail();
    EXPECT_EQ(m_send("claims@host.example", nullptr, "Pollark User: Pollark Version Info",
                     m_message.c_str(), 0, 0) &
                  0xFF,
              1);
    const std::vector<std::string> expected = {
        "--utf8",   "--subject", "Pollark User: Pollark Version Info",
        "--attach", m_message,   "claims@host.example"};
    EXPECT_EQ(WaitForArguments(), expected);
    EXPECT_TRUE(m_services.ShellOpens().empty());
}

TEST_F(EmailPluginTest, WithoutXdgEmailOpensAMailtoAddress) {
    ASSERT_NE(m_send, nullptr);
    const struct {
        int shellAnswer;
        int32_t sent;
    } cases[] = {{42, 1}, {31, 0}};
    for (const auto& c : cases) {
        m_services.ClearRecords();
        m_services.AnswerNextShellOpen(c.shellAnswer);
        EXPECT_EQ(m_send("a+b@host.example", nullptr, "User: Info & more", m_message.c_str(), 0, 0),
                  c.sent);
        ASSERT_EQ(m_services.ShellOpens().size(), 1u);
        EXPECT_EQ(m_services.ShellOpens()[0].file,
                  "mailto:a+b@host.example?subject=User%3A%20Info%20%26%20more"
                  "&body=%0D%0A%20%20Exe%2FDll%20versions%0D%0A%20caf%C3%A9%20%26%20co%0D%0A");
    }
}

TEST_F(EmailPluginTest, MissingMessageFileStartsNothing) {
    ASSERT_NE(m_send, nullptr);
    InstallFakeXdgEmail();
    EXPECT_EQ(m_send("a@b.example", nullptr, "S", (Folder() + "gone.txt").c_str(), 0, 0), 0);
    EXPECT_TRUE(m_services.ShellOpens().empty());
    EXPECT_FALSE(platform::FileExists(Folder() + "args"));
}

}  // namespace
