// A small program on the Win32 host that uses every unit type; the driver
// checks it from outside through window messages.
#include "host/system.h"
#include "host/win32/run.h"

namespace {

using host::EventArgs;
using host::Ui;
using host::UnitDef;
using host::UnitType;

void OnMainCreated(const EventArgs&);
void OnAddClicked(const EventArgs&);
void OnGroupButtonClicked(const EventArgs&);
void OnCheckClicked(const EventArgs&);
void OnListDoubleClicked(const EventArgs&);
void OnListRightClicked(const EventArgs&);
void OnDeleteSelected(const EventArgs&);
void OnFilesDropped(const EventArgs&);
void OnChooseFileClicked(const EventArgs&);
void OnChooseFolderClicked(const EventArgs&);

const UnitDef kMainUnits[] = {
    {UnitType::Tab, "选择夹1", nullptr, 10, 10, 415, 250, nullptr, -1, "列表页|分组页", 0},
    {UnitType::ListView, "超级列表框1", nullptr, 19, 32, 380, 150, "选择夹1", 0, "名称|内容", 180},
    {UnitType::CheckBox, "选择框1", "勾选提问", 19, 192, 152, 16, "选择夹1", 0, nullptr, 0},
    {UnitType::ProgressBar, "进度条1", nullptr, 19, 222, 300, 16, "选择夹1", 0, nullptr, 0},
    {UnitType::Button, "按钮1", "添加", 340, 216, 56, 25, "选择夹1", 0, nullptr, 0},
    {UnitType::GroupBox, "分组框1", "分组", 27, 36, 350, 90, "选择夹1", 1, nullptr, 0},
    {UnitType::Button, "按钮2", "组内按钮", 20, 36, 100, 30, "分组框1", -1, nullptr, 0},
    {UnitType::Edit, "编辑框1", nullptr, 38, 150, 256, 24, "选择夹1", 1, nullptr, 0},
    {UnitType::Label, "标签1", "标签文字：中文显示", 38, 184, 250, 20, "选择夹1", 1, nullptr, 0},
    {UnitType::Label, "标签2", nullptr, 38, 208, 370, 34, "选择夹1", 1, nullptr, 0},
    {UnitType::Button, "按钮3", "选择文件", 304, 132, 90, 26, "选择夹1", 1, nullptr, 0},
    {UnitType::Button, "按钮4", "选择目录", 304, 166, 90, 26, "选择夹1", 1, nullptr, 0},
    {UnitType::StatusBar, "状态条1", "状态：就绪", 0, 264, 444, 20, nullptr, -1, nullptr, 0},
    {UnitType::FileDialog, "通用对话框1", nullptr, 102, 126, 64, 40, "选择夹1", 0, "txt", 0},
    {UnitType::DropTarget, "拖放对象1", nullptr, 244, 110, 56, 32, "选择夹1", 0, nullptr, 0},
    {UnitType::PopupMenu, "菜单", "菜单", 0, 0, 0, 0, nullptr, -1, nullptr, 0},
    {UnitType::MenuItem, "删除", "删除", 0, 0, 0, 0, "菜单", -1, nullptr, 0},
};

const host::EventRow kMainEvents[] = {
    {nullptr, host::Event::Created, &OnMainCreated},
    {"按钮1", host::Event::Clicked, &OnAddClicked},
    {"按钮2", host::Event::Clicked, &OnGroupButtonClicked},
    {"选择框1", host::Event::Clicked, &OnCheckClicked},
    {"超级列表框1", host::Event::DoubleClicked, &OnListDoubleClicked},
    {"超级列表框1", host::Event::RightClicked, &OnListRightClicked},
    {"删除", host::Event::MenuSelected, &OnDeleteSelected},
    {"拖放对象1", host::Event::FilesDropped, &OnFilesDropped},
    {"按钮3", host::Event::Clicked, &OnChooseFileClicked},
    {"按钮4", host::Event::Clicked, &OnChooseFolderClicked},
};

const host::WindowDef kMainWindow = {
    "DemoWindow", "Qelmar 演示窗口", 50, 50, 450, 310, true,
    kMainUnits, static_cast<int>(sizeof kMainUnits / sizeof kMainUnits[0]),
    kMainEvents, static_cast<int>(sizeof kMainEvents / sizeof kMainEvents[0]),
};

const UnitDef kSideUnits[] = {
    {UnitType::Label, "标签1", "载入中", 24, 16, 320, 48, nullptr, -1, nullptr, 0},
    {UnitType::ProgressBar, "进度条1", nullptr, 8, 72, 360, 16, nullptr, -1, nullptr, 0},
};

const host::WindowDef kSideWindow = {
    "SideWindow", nullptr, 520, 50, 380, 103, true,
    kSideUnits, static_cast<int>(sizeof kSideUnits / sizeof kSideUnits[0]), nullptr, 0,
};

// The platform calls, reported in one label for the driver: the program's
// file name, a Config-style value written and read back, a REG_EXPAND_SZ value
// the smoke script stored, and a file-type default written.
std::string SystemReport() {
  host::System& sys = host::Sys();
  std::string ini = sys.ProgramFolder() + "\\demo.ini";
  sys.WriteProfileText(ini, "目录", "安装目录", "C:\\游戏");
  std::string report = "程序：" + sys.ProgramFileName();
  report += "|配置：" + sys.ReadProfileText(ini, "目录", "安装目录");
  report += "|缺少：" + sys.ReadProfileText(ini, "目录", "没有");
  report += "|注册表：" + sys.ReadUserRegistryText("Software\\Vantro\\QelmarDemo", "Path");
  report += "|关联：" + std::string(sys.WriteClassesDefault(".qelmardemo", "演示补丁") ? "是" : "否");
  return report;
}

void OnMainCreated(const EventArgs&) {
  Ui().SetText("标签2", SystemReport());
  Ui().SetText("编辑框1", "已创建");
  Ui().SetProgress("进度条1", 30);
  int row = Ui().AppendRow("超级列表框1", "第一行");
  Ui().SetItemText("超级列表框1", row, 1, "内容一");
  if (!Ui().RegisterDropTarget("拖放对象1", "选择夹1")) Ui().SetText("状态条1", "拖放登记失败");
  Ui().LoadWindow(kSideWindow);
  Ui().SetText("SideWindow.标签1", "副窗口已载入");
  Ui().SetProgress("SideWindow.进度条1", 60);
}

void OnAddClicked(const EventArgs&) {
  int row = Ui().AppendRow("超级列表框1", "新行");
  Ui().SetItemText("超级列表框1", row, 1, "第二列");
  Ui().SetText("编辑框1", "已点击按钮1");
}

// The worker reaches the controls only through the framework.
void OnGroupButtonClicked(const EventArgs&) {
  Ui().SetText("编辑框1", "组内按钮已点击");
  Ui().StartWorker([] {
    for (int position = 40; position <= 100; position += 20) Ui().SetProgress("进度条1", position);
    Ui().SetText("状态条1", "工作线程读到：" + Ui().GetText("编辑框1"));
  });
}

void OnCheckClicked(const EventArgs&) {
  if (!Ui().IsChecked("选择框1")) return;
  bool ok = Ui().AskOkCancel("要继续吗？", "信息：");
  if (ok) Ui().ShowMessage("你选择了确定", "提示");
  Ui().SetText("状态条1", ok ? "问答：确定" : "问答：取消");
}

void OnListDoubleClicked(const EventArgs&) {
  int row = Ui().SelectedRow("超级列表框1");
  if (row < 0) return;
  std::string answer;
  if (Ui().InputBox("请输入新名称", Ui().ItemText("超级列表框1", row, 0), &answer) && !answer.empty()) {
    Ui().SetItemText("超级列表框1", row, 0, answer);
  }
}

void OnListRightClicked(const EventArgs&) {
  if (Ui().SelectedRow("超级列表框1") >= 0) Ui().PopupMenu("菜单");
}

void OnDeleteSelected(const EventArgs&) {
  int row = Ui().SelectedRow("超级列表框1");
  if (row >= 0) Ui().DeleteRow("超级列表框1", row);
}

void OnFilesDropped(const EventArgs& args) {
  int row = Ui().AppendRow("超级列表框1", args.text);
  Ui().SetItemText("超级列表框1", row, 1, "拖放");
}

void OnChooseFileClicked(const EventArgs&) {
  host::FileDialogRequest request;
  request.save = true;
  request.filter = "文本文件(*.txt)|*.txt";
  request.initial_folder = "C:\\";
  std::string path;
  bool chosen = Ui().ShowFileDialog("通用对话框1", request, &path);
  Ui().SetText("状态条1", chosen ? "文件：" + path : "文件：取消");
}

void OnChooseFolderClicked(const EventArgs&) { Ui().SetText("状态条1", "目录：" + Ui().PickFolder("请选择目录")); }

void Start() { Ui().LoadWindow(kMainWindow); }

}  // namespace

int main() {
  static const host::ProgramDescription program = {nullptr, 0, &Start};
  return host::RunWin32Program(program);
}
