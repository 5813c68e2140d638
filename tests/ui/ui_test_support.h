// What the window's tests share: the Qt application of the test process
// (offscreen), an application object on the x58 sample machine with its
// library scanned, a query layer answering from a table, and small readers
// of what a dialog shows.
#pragma once

#include <QObject>
#include <QWidget>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/local_info_parser.h"
#include "app/ui/dialog.h"
#include "app/ui/user_fonts.h"
#include "app/vexa_app.h"
#include "machine/machine.h"

namespace vexa::test {

// The text a dialog's control shows, and whether it is enabled.
QString TextOf(const ui::Dialog& dialog, int id);
bool EnabledOf(const ui::Dialog& dialog, int id);

// Counts the WM_UPDATE_PAGE messages each watched window receives.
class UpdateCounter : public QObject {
public:
    void Watch(QObject* window);
    int CountOf(QObject* window) const;
    int Total() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::map<QObject*, int> m_Counts;
};

// A processor as the table-driven query layer answers it.
struct FakeCache {
    int level;
    int type;
    int count;
    int sizeKB;
    int lineBytes = -1;
    int ways = -1;
    int geometryAnswer = 1;  // what the geometry query answers
};

struct FakeProcessor {
    std::wstring name = L"Test Processor";
    std::wstring codename;
    bool hasCodename = false;
    std::wstring brandString;
    bool hasBrandString = true;
    std::wstring package;
    bool hasPackage = false;
    std::wstring coreStepping;
    bool hasCoreStepping = false;
    int cores = 2;
    int threads = 2;
    int family = -1, model = -1, stepping = -1, extFamily = -1, extModel = -1;
    int classCode = -1;
    int brandId = -1;
    int stockClock = -1;
    int engineeringSample = 0;
    float tdp = -1.0f, technology = -1.0f, ratedBus = -1.0f, vid = -1.0f;
    std::vector<int> instructionSets;
    std::vector<FakeCache> caches;
    // Per core: MHz (the query answers them times pi) and multipliers.
    std::vector<float> coreMHz;
    float multiplier = -1.0f, minMultiplier = -1.0f, maxMultiplier = -1.0f;
};

// Answers the processor queries from its table, and records how its lock
// is used: queries asked without the lock held are counted.
class FakeQueries : public CLocalInfoParser {
public:
    FakeQueries(VexaSettings& settings, int& noValidation) : CLocalInfoParser(settings, noValidation) {}

    std::vector<FakeProcessor> processors{FakeProcessor{}};
    int boardCacheKB = -1;  // -1: no mainboard cache
    float busClock = -1.0f;
    float coreVoltageSensor = -1.0f;

    bool lockBusy = false;
    int lockDepth = 0;
    int queriesWithoutLock = 0;
    int queries = 0;

    int Lock(int timeoutMs) override;
    void Unlock() override;

    int GetProcessorCount() override;
    int GetProcessorIndex(int P) override;
    int GetCoreCount(int P) override;
    int GetThreadCount(int P) override;
    int GetCacheCount(int P, int level, int type, int* sizeKB) override;
    int GetCacheGeometry(int P, int level, int type, int* lineBytes, int* ways) override;
    int GetBoardCacheSize(int* sizeKB) override;
    int GetProcessorName(int P, wchar_t* text) override;
    int GetCodename(int P, wchar_t* text) override;
    int GetCoreStepping(int P, wchar_t* text) override;
    int GetSpecification(int P, wchar_t* text) override;
    int GetPackage(int P, wchar_t* text) override;
    int GetBrandID(int P) override;
    float GetTDP(int P) override;
    float GetTechnology(int P) override;
    int GetStockClock(int P) override;
    float GetRatedBusClock(int P) override;
    int IsEngineeringSample(int P) override;
    int GetFamily(int P) override;
    int GetModel(int P) override;
    int GetStepping(int P) override;
    int GetExtFamily(int P) override;
    int GetExtModel(int P) override;
    int HasInstructionSet(int P, int instructionSet) override;
    int GetClassCode(int P) override;
    float GetCoreMultiplier(int P, int C) override;
    float GetCoreMinMultiplier(int P, int C) override;
    float GetCoreMaxMultiplier(int P, int C) override;
    float GetCoreClock(int P, int C) override;
    float GetBusClock() override;
    float GetCoreVID(int P) override;
    float GetSensorValue(int sensorKey, int* device, int* index) override;

private:
    const FakeProcessor* Find(int P);
    static const FakeCache* FindCache(const FakeProcessor& processor, int level, int type);
    int Text(const FakeProcessor* processor, const std::wstring& value, bool known, wchar_t* text);
};

// An application object whose query layer is a FakeQueries.
struct FakeApplication {
    FakeApplication();
    CvexaApp app;
    FakeQueries* queries;  // owned by app
    ui::UserFonts fonts;
};

// An application object on the x58 sample machine (or the sample machine
// of that source folder), its driver installed and its library scanned;
// closed again at the end.
struct X58Application {
    explicit X58Application(const char* sample = "machines/x58-nehalem");
    ~X58Application();
    machine::ScopedMachine machine;
    CvexaApp app;
    CLocalInfoParser& queries;
    ui::UserFonts fonts;
};

// Where screenshots go: VEXA_SCREENSHOT_DIR, else nowhere (empty).
std::string ScreenshotFolder();
// Grabs the widget (a failure when that gives nothing) and saves the
// picture as `name` (PNG) in the screenshot folder, if there is one.
void SaveScreenshot(QWidget& widget, const char* name);

} // namespace vexa::test
