// Running out of memory in a handler or a worker that does not say so itself
// ends only that work, with a message; the program runs on. (An exception
// must never leave through a window procedure or a thread's start.)
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>

#include "host/scripted/scripted_host.h"
#include "host/system.h"

namespace {

int g_clicks = 0;

void ThrowingClick(const host::EventArgs&) {
  ++g_clicks;
  throw std::bad_alloc();
}

void TooLongClick(const host::EventArgs&) {
  ++g_clicks;
  throw std::length_error("basic_string::_M_create");
}

void StartThrowingWorker(const host::EventArgs&) {
  host::Ui().StartWorker([] { throw std::bad_alloc(); });
}

const host::UnitDef kUnits[] = {
    {host::UnitType::Button, "按钮1", "一", 0, 0, 10, 10, nullptr, -1, nullptr, 0},
    {host::UnitType::Button, "按钮2", "二", 0, 20, 10, 10, nullptr, -1, nullptr, 0},
    {host::UnitType::Button, "按钮3", "三", 0, 40, 10, 10, nullptr, -1, nullptr, 0},
};
const host::EventRow kEvents[] = {
    {"按钮1", host::Event::Clicked, &ThrowingClick},
    {"按钮2", host::Event::Clicked, &TooLongClick},
    {"按钮3", host::Event::Clicked, &StartThrowingWorker},
};
const host::WindowDef kWindow = {"MainWindow", "test", 0, 0, 100, 100, true, kUnits, 3, kEvents, 3};

TEST(Guarded, OutOfMemoryInAHandlerOrWorkerIsSaidAndTheProgramRunsOn) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  for (const auto mode : {host::ScriptedHost::WorkerMode::Inline, host::ScriptedHost::WorkerMode::Deferred}) {
    host::ScriptedHost host(folder.string());
    host.SetWorkerMode(mode);
    host::InstallBackend(&host);
    ASSERT_TRUE(host.LoadWindow(kWindow));
    g_clicks = 0;
    host.Click("按钮1");
    host.Click("按钮2");
    host.Click("按钮3");
    host.RunDeferredWorkers();
    EXPECT_EQ(g_clicks, 2);
    const std::pair<std::string, std::string> said = {"提示", "内存不足，操作未完成"};
    EXPECT_EQ(host.messages(), (std::vector<std::pair<std::string, std::string>>{said, said, said}));
    EXPECT_TRUE(host.IsLoaded("MainWindow"));
    host::InstallBackend(nullptr);
  }
}

}  // namespace
