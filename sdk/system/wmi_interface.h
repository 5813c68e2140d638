// The WMI domain: one simple way into Windows Management Instrumentation.
// Connect to a namespace, read one property of every instance of one class
// as a list of CWMI_Property values, and disconnect. The graphics domain
// reads the adapters' memory size and driver version and date through it,
// the DMI domain the raw SMBIOS table.
//
// Calling order: Connect, any number of QueryProperty (each replaces the
// property list), Disconnect, all on one thread: each Connect initialises
// COM on the calling thread and each Disconnect uninitialises it.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class IWbemConfigureRefresher;
class IWbemLocator;
class IWbemRefresher;
class IWbemServices;

enum WMIPropertyKind : uint32_t {
    WMI_PROPERTY_TEXT = 1,
    WMI_PROPERTY_INTEGER = 2,
    WMI_PROPERTY_FLOAT = 3,
    WMI_PROPERTY_BYTES = 0x10002,
};

// One value of one instance.
class CWMI_Property {
public:
    CWMI_Property() = default;
    virtual ~CWMI_Property();  // frees the bytes
    CWMI_Property(const CWMI_Property&) = delete;
    CWMI_Property& operator=(const CWMI_Property&) = delete;

    uint32_t m_dwKind = 0;       // WMIPropertyKind
    char m_szText[256] = {};     // kind 1, ANSI
    int32_t m_iValue = -1;       // kind 2
    double m_dValue = -1.0;      // kind 3
    uint32_t m_dwByteCount = 0;  // kind 0x10002
    uint8_t* m_pBytes = nullptr;
};

class CWMIInterface : public CInterface {
public:
    // A uint8 array longer than this gives no value (SMBIOS tables stay far
    // below it).
    static constexpr uint32_t kLargestByteArray = 64u << 20;

    CWMIInterface();
    ~CWMIInterface() override;
    CWMIInterface(const CWMIInterface&) = delete;
    CWMIInterface& operator=(const CWMIInterface&) = delete;

    // Connects to "\\.\root\cimv2" and to "\\.\root\SecurityCenter" and
    // disconnects again; always 1.
    int Init() override;
    void Close() override {}

    // 1 when connected; 0 otherwise (a connect that fails after COM was
    // initialised has disconnected already). A connection still open is
    // ended first.
    int Connect(const wchar_t* nameSpace);
    // The values of `property` of every instance of `className`, in
    // instance order, replacing the previous list: their number. A null
    // value or a type not listed in wmi_interface.cpp adds nothing.
    int QueryProperty(const char* className, const wchar_t* property);
    // Ends the connection; harmless when there is none.
    void Disconnect();

    IWbemServices* m_pServices = nullptr;
    IWbemLocator* m_pLocator = nullptr;
    IWbemRefresher* m_pRefresher = nullptr;
    IWbemConfigureRefresher* m_pRefresherConfig = nullptr;
    wchar_t* m_bstrNamespace = nullptr;  // a BSTR
    // The values of the last query; owned.
    CTList<CWMI_Property>* m_pProperties;

private:
    bool m_bComInitialised = false;  // Disconnect uninitialises what Connect initialised
};
