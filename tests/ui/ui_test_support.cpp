#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "app/ui/window_message.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

// The core clock query answers MHz times the single-precision pi.
constexpr float kPi = 3.14159265f;

// One Qt application for the whole test process.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_App = std::make_unique<QApplication>(m_Argc, m_Argv); }
    void TearDown() override { m_App.reset(); }

private:
    int m_Argc = 1;
    char m_Name[8] = "test_ui";
    char* m_Argv[2] = {m_Name, nullptr};
    std::unique_ptr<QApplication> m_App;
};

[[maybe_unused]] const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::unique_ptr<machine::Machine> LoadSample(const char* sample) {
    std::string error;
    auto machine = machine::loadImage(sourcePath(sample), error);
    EXPECT_TRUE(machine) << error;
    return machine;
}

} // namespace

QString TextOf(const ui::Dialog& dialog, int id) { return dialog.GetDlgItemText(id); }

bool EnabledOf(const ui::Dialog& dialog, int id) {
    QWidget* control = dialog.GetDlgItem(id);
    return control && control->isEnabled();
}

void UpdateCounter::Watch(QObject* window) {
    m_Counts[window] = 0;
    window->installEventFilter(this);
}

int UpdateCounter::CountOf(QObject* window) const {
    const auto found = m_Counts.find(window);
    return found == m_Counts.end() ? 0 : found->second;
}

int UpdateCounter::Total() const {
    int total = 0;
    for (const auto& [window, count] : m_Counts) total += count;
    return total;
}

bool UpdateCounter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == ui::WindowMessageEvent::EventType() &&
        static_cast<ui::WindowMessageEvent*>(event)->message == ui::WM_UPDATE_PAGE)
        ++m_Counts[watched];
    return false;
}

// ---- FakeQueries ----

int FakeQueries::Lock(int) {
    if (lockBusy) return 0;
    ++lockDepth;
    return 1;
}

void FakeQueries::Unlock() { --lockDepth; }

const FakeProcessor* FakeQueries::Find(int P) {
    ++queries;
    if (lockDepth == 0) ++queriesWithoutLock;
    return P >= 0 && P < static_cast<int>(processors.size()) ? &processors[static_cast<size_t>(P)] : nullptr;
}

const FakeCache* FakeQueries::FindCache(const FakeProcessor& processor, int level, int type) {
    for (const FakeCache& cache : processor.caches)
        if (cache.level == level && cache.type == type) return &cache;
    return nullptr;
}

int FakeQueries::Text(const FakeProcessor* processor, const std::wstring& value, bool known, wchar_t* text) {
    if (!processor || !known) return 0;
    std::wcsncpy(text, value.c_str(), kInfoTextChars - 1);
    text[kInfoTextChars - 1] = L'\0';
    return 1;
}

int FakeQueries::GetProcessorCount() {
    Find(0);
    return static_cast<int>(processors.size());
}
int FakeQueries::GetProcessorIndex(int P) { return Find(P) ? P : -1; }
int FakeQueries::GetCoreCount(int P) { auto* p = Find(P); return p ? p->cores : 1; }
int FakeQueries::GetThreadCount(int P) { auto* p = Find(P); return p ? p->threads : 1; }

int FakeQueries::GetCacheCount(int P, int level, int type, int* sizeKB) {
    const FakeProcessor* processor = Find(P);
    if (!processor) return -1;
    const FakeCache* cache = FindCache(*processor, level, type);
    if (!cache || cache->count < 1) return 0;
    *sizeKB = cache->sizeKB;
    return cache->count;
}

int FakeQueries::GetCacheGeometry(int P, int level, int type, int* lineBytes, int* ways) {
    const FakeProcessor* processor = Find(P);
    if (!processor) return -1;
    const FakeCache* cache = FindCache(*processor, level, type);
    if (!cache || cache->count < 1) return 0;
    if (cache->geometryAnswer > 0) {
        *lineBytes = cache->lineBytes;
        *ways = cache->ways;
    }
    return cache->geometryAnswer;
}

int FakeQueries::GetBoardCacheSize(int* sizeKB) {
    Find(0);
    if (boardCacheKB == -1) return -1;
    *sizeKB = boardCacheKB;
    return 1;
}

int FakeQueries::GetProcessorName(int P, wchar_t* text) { auto* p = Find(P); return Text(p, p ? p->name : L"", true, text); }
int FakeQueries::GetCodename(int P, wchar_t* text) { auto* p = Find(P); return p ? Text(p, p->codename, p->hasCodename, text) : 0; }
int FakeQueries::GetCoreStepping(int P, wchar_t* text) {
    auto* p = Find(P);
    return p ? Text(p, p->coreStepping, p->hasCoreStepping, text) : 0;
}
int FakeQueries::GetSpecification(int P, wchar_t* text) {
    auto* p = Find(P);
    return p ? Text(p, p->brandString, p->hasBrandString, text) : 0;
}
int FakeQueries::GetPackage(int P, wchar_t* text) { auto* p = Find(P); return p ? Text(p, p->package, p->hasPackage, text) : 0; }
int FakeQueries::GetBrandID(int P) { auto* p = Find(P); return p ? p->brandId : -1; }
float FakeQueries::GetTDP(int P) { auto* p = Find(P); return p ? p->tdp : -1.0f; }
float FakeQueries::GetTechnology(int P) { auto* p = Find(P); return p ? p->technology : -1.0f; }
int FakeQueries::GetStockClock(int P) { auto* p = Find(P); return p ? p->stockClock : -1; }
float FakeQueries::GetRatedBusClock(int P) { auto* p = Find(P); return p ? p->ratedBus : -1.0f; }
int FakeQueries::IsEngineeringSample(int P) { auto* p = Find(P); return p ? p->engineeringSample : 0; }
int FakeQueries::GetFamily(int P) { auto* p = Find(P); return p ? p->family : -1; }
int FakeQueries::GetModel(int P) { auto* p = Find(P); return p ? p->model : -1; }
int FakeQueries::GetStepping(int P) { auto* p = Find(P); return p ? p->stepping : -1; }
int FakeQueries::GetExtFamily(int P) { auto* p = Find(P); return p ? p->extFamily : -1; }
int FakeQueries::GetExtModel(int P) { auto* p = Find(P); return p ? p->extModel : -1; }
int FakeQueries::HasInstructionSet(int P, int instructionSet) {
    auto* p = Find(P);
    return p && std::count(p->instructionSets.begin(), p->instructionSets.end(), instructionSet) ? 1 : 0;
}
int FakeQueries::GetClassCode(int P) { auto* p = Find(P); return p ? p->classCode : -1; }
float FakeQueries::GetCoreMultiplier(int P, int) { auto* p = Find(P); return p ? p->multiplier : -1.0f; }
float FakeQueries::GetCoreMinMultiplier(int P, int) { auto* p = Find(P); return p ? p->minMultiplier : -1.0f; }
float FakeQueries::GetCoreMaxMultiplier(int P, int) { auto* p = Find(P); return p ? p->maxMultiplier : -1.0f; }
float FakeQueries::GetCoreClock(int P, int C) {
    auto* p = Find(P);
    if (!p || C < 0 || C >= static_cast<int>(p->coreMHz.size())) return -1.0f;
    return p->coreMHz[static_cast<size_t>(C)] * kPi;
}
float FakeQueries::GetBusClock() {
    Find(0);
    return busClock;
}
float FakeQueries::GetCoreVID(int P) { auto* p = Find(P); return p ? p->vid : -1.0f; }
float FakeQueries::GetSensorValue(int sensorKey, int*, int*) {
    Find(0);
    return sensorKey == 0x1000100 ? coreVoltageSensor : -1.0f;
}

// ---- Applications ----

FakeApplication::FakeApplication() {
    delete app.m_pInfoParser;
    queries = new FakeQueries(app.m_Settings, app.g_bNoValidation);
    app.m_pInfoParser = queries;
    fonts = ui::MakeUserFonts(app.m_Settings);
}

X58Application::X58Application(const char* sample) : machine(LoadSample(sample)), queries(*app.LocalInfoParser()) {
    int error = 0, detail = 0;
    EXPECT_EQ(queries.Init(&error), 1) << "driver error " << error;
    EXPECT_EQ(queries.Scan(&error, &detail), 1) << "scan error " << error;
    fonts = ui::MakeUserFonts(app.m_Settings);
}

X58Application::~X58Application() { queries.Close(); }

std::string ScreenshotFolder() {
    const char* folder = std::getenv("VEXA_SCREENSHOT_DIR");
    return folder ? folder : "";
}

void SaveScreenshot(QWidget& widget, const char* name) {
    const QImage shot = widget.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), widget.size());
    const std::string folder = ScreenshotFolder();
    if (folder.empty()) return;
    QDir().mkpath(QString::fromStdString(folder));
    EXPECT_TRUE(shot.save(QString::fromStdString(folder + "/" + name), "PNG")) << folder << "/" << name;
}

} // namespace vexa::test
