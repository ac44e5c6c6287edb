#include "core/support/Fakes.h"
#include "gui/app/PdfFiles.h"
#include "gui/app/PreviewWidget.h"
#include "gui/ui/TestApp.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace plait;

namespace {

struct EncryptedPdf {
    EncryptedPdf() {
        test::testApp();
        const auto plain = test::writePdf(scratch.root / "plain.pdf", 3);
        path = test::encryptPdf(plain, scratch.root / "locked.pdf", "open sesame");
        damaged = test::writeFile(scratch.root / "damaged.pdf", "%PDF-1.4\nnothing else\n");
    }
    QString cardText(gui::PreviewWidget& pane) const {
        for (QLabel* label : pane.findChildren<QLabel*>()) {
            if (label->isVisibleTo(&pane) && label->text().contains("<h3>")) {
                return label->text();
            }
        }
        return {};
    }
    // The renderer has said how many pages there are, or the pane has given up.
    static bool settled(const gui::PreviewWidget& pane) {
        return test::waitUntil([&] { return pane.mode() != "loading"; });
    }
    test::TestPlatform scratch;
    std::string path;
    std::string damaged;
};

} // namespace

TEST(EncryptedPreview, UsesThePasswordTheBuildJustUsedWithoutAsking) {
    EncryptedPdf f;
    ASSERT_FALSE(f.path.empty());
    gui::PreviewWidget pane;
    int asked = 0;
    pane.knownPasswords = [] { return QStringList{QString(), QStringLiteral("open sesame")}; };
    pane.askPassword = [&](const QString&, bool) -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    };
    pane.navigate(f.path);
    ASSERT_TRUE(f.settled(pane));
    EXPECT_EQ(pane.mode(), "pdf");
    EXPECT_EQ(pane.pdfPageCount(), 3);
    EXPECT_EQ(asked, 0);
}

TEST(EncryptedPreview, AsksUntilTheRightPasswordAndRemembersIt) {
    EncryptedPdf f;
    ASSERT_FALSE(f.path.empty());
    gui::PreviewWidget pane;
    std::vector<std::pair<QString, bool>> asked;
    std::deque<QString> answers{QStringLiteral("wrong"), QStringLiteral("open sesame")};
    pane.askPassword = [&](const QString& name, bool again) -> std::optional<QString> {
        asked.emplace_back(name, again);
        QString a = answers.front();
        answers.pop_front();
        return a;
    };
    pane.navigate(f.path);
    ASSERT_TRUE(f.settled(pane));
    EXPECT_EQ(pane.mode(), "pdf");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], std::make_pair(QStringLiteral("locked.pdf"), false));
    EXPECT_EQ(asked[1], std::make_pair(QStringLiteral("locked.pdf"), true));

    // Shown again later in the run: the password that opened it is remembered.
    pane.navigate("about:blank");
    pane.navigate(f.path);
    ASSERT_TRUE(f.settled(pane));
    EXPECT_EQ(pane.mode(), "pdf");
    EXPECT_EQ(asked.size(), 2u);
}

TEST(EncryptedPreview, CancellingSaysItIsProtectedNotDamaged) {
    EncryptedPdf f;
    ASSERT_FALSE(f.path.empty());
    gui::PreviewWidget pane;
    pane.askPassword = [](const QString&, bool) -> std::optional<QString> { return std::nullopt; };
    pane.navigate(f.path);
    ASSERT_TRUE(f.settled(pane));
    EXPECT_EQ(pane.mode(), "card");
    EXPECT_TRUE(f.cardText(pane).contains("protected by a password")) << f.cardText(pane).toStdString();
    EXPECT_FALSE(f.cardText(pane).contains("damaged"));

    // A damaged file is not asked about.
    pane.askPassword = [](const QString&, bool) -> std::optional<QString> {
        ADD_FAILURE() << "asked for the password of a damaged file";
        return std::nullopt;
    };
    pane.navigate(f.damaged);
    ASSERT_TRUE(f.settled(pane));
    EXPECT_EQ(pane.mode(), "card");
    EXPECT_TRUE(f.cardText(pane).contains("damaged")) << f.cardText(pane).toStdString();
}
