#include "core/MessageBox.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TShownBox {
    QString Text;
    QString Caption;
    int Flags = 0;
    QThread *Thread = nullptr;
};

// An application object (the main thread's event loop) and a presenter that
// records every box instead of showing it.
class MyMessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            FShown.push_back({AText, ACaption, AFlags, QThread::currentThread()});
            return mrYes;
        });
    }
    void TearDown() override { SetMessageBoxPresenter(nullptr); }

    int FArgc = 1;
    char FName[8] = "test";
    char *FArgv[2] = {FName, nullptr};
    QCoreApplication FApp{FArgc, FArgv};
    std::vector<TShownBox> FShown;
};

TEST_F(MyMessageBoxTest, OnTheMainThreadShowsTheBoxAndReturnsItsResult) {
    EXPECT_EQ(MyMessageBox(u"Delete?"_s, u"Confirm"_s, mbYesNoQuestion), mrYes);
    ASSERT_EQ(FShown.size(), 1u);
    EXPECT_EQ(FShown[0].Text, u"Delete?"_s);
    EXPECT_EQ(FShown[0].Caption, u"Confirm"_s);
    EXPECT_EQ(FShown[0].Flags, mbYesNoQuestion);
}

TEST_F(MyMessageBoxTest, FromAWorkerReturnsAtOnceAndTheMainThreadShowsTheBoxLater) {
    int result = 0;
    std::thread worker(
        [&result] { result = MyMessageBox(u"Upload failed"_s, u"Error"_s, mbIconError); });
    worker.join();
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(FShown.empty()); // nothing is shown on the worker

    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(FShown.size(), 1u);
    EXPECT_EQ(FShown[0].Text, u"Upload failed"_s);
    EXPECT_EQ(FShown[0].Caption, u"Error"_s);
    EXPECT_EQ(FShown[0].Flags, mbIconError);
    EXPECT_EQ(FShown[0].Thread, FApp.thread());
}

TEST_F(MyMessageBoxTest, WithoutPresenterWritesToStandardErrorAndAnswersZero) {
    SetMessageBoxPresenter(nullptr);
    testing::internal::CaptureStderr();
    const int result = MyMessageBox(u"Disk full"_s, u"Error"_s, mbIconError);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    EXPECT_NE(written.find("Error: Disk full"), std::string::npos) << written;
}

} // namespace
