#include "resources/PluginResources.h"

#include "hostapi/HostInterface.h"
#include "resources/AutoFlatsCodes.h"
#include "resources/PluginCodes.h"
#include "resources/ResourceWriter.h"

namespace {

using host::FourCC;

constexpr const char* kEntryPointName = "PluginMain";
constexpr const char* kEnableCondition = "in (PSHOP_ImageMode, RGBMode, CMYKMode)";

// Image-mode flags, most significant bit first: RGB and CMYK at 8 bits.
constexpr uint8_t kModeFlags[4] = {0x10 | 0x08, 0x00, 0x00, 0x00};

// Data handling per filter case, in the host's case order.
enum : uint8_t { kCantFilter = 0, kHandlingNone = 1, kWhiteZap = 8, kFillMask = 9 };
struct FilterCase {
    uint8_t input, output;
};
constexpr FilterCase kFilterCases[7] = {
    {kHandlingNone, kHandlingNone},  // flat image, no selection
    {kHandlingNone, kHandlingNone},  // flat image, with selection
    {kHandlingNone, kHandlingNone},  // floating selection
    {kWhiteZap, kFillMask},          // editable transparency, no selection
    {kWhiteZap, kFillMask},          // editable transparency, with selection
    {kCantFilter, kCantFilter},      // protected transparency, no selection
    {kCantFilter, kCantFilter},      // protected transparency, with selection
};

// Direct parameter flags: optional, enumerated, changes state.
constexpr uint16_t kDirectParameterFlags = 0xB000;

// Each property: vendor, key, ID 0, content length, then the content
// rounded up to a multiple of 4.
class CPropertyList {
public:
    void Add(uint32_t key, CResourceWriter content) {
        content.Align4();
        properties_.FourCC(FourCC("8BIM"));
        properties_.FourCC(key);
        properties_.Int32(0);
        properties_.Int32(uint32_t(content.Size()));
        properties_.Append(content.Bytes());
        ++count_;
    }

    std::vector<uint8_t> Finish() const {
        CResourceWriter pipl;
        pipl.Int16(1);  // reserved for the host on Windows
        pipl.Int32(0);  // PiPL version
        pipl.Int32(count_);
        pipl.Append(properties_.Bytes());
        return pipl.Bytes();
    }

private:
    CResourceWriter properties_;
    uint32_t count_ = 0;
};

CResourceWriter Code(uint32_t code) {
    CResourceWriter out;
    out.FourCC(code);
    return out;
}

CResourceWriter PaddedPascal(const char* text) {
    CResourceWriter out;
    out.PascalString(text);
    out.PadString(0);
    return out;
}

CResourceWriter PaddedCString(const char* text) {
    CResourceWriter out;
    out.CString(text);
    out.PadString(0);
    return out;
}

// What tells one filter of ours from the other in its resources.
struct SScriptKey {
    const char* name;
    DescriptorKeyID key;
    DescriptorTypeID type;
    const char* description;
};

struct SFilterTerms {
    const char* menuName;
    uint32_t code;
    const char* eventName;
    const char* description;
    std::vector<SScriptKey> keys;
};

const SFilterTerms& VandrelProTerms() {
    static const SFilterTerms terms{
        VANDREL_MENU_NAME,
        kPluginCode,
        VANDREL_COMPANY " " VANDREL_PRODUCT_NAME,
        VANDREL_DESCRIPTION,
        {{"Maximum Depth", kKeyMaxDepth, host::typeInteger, "Maximum paint depth level"},
         {"Paint Remainder White", kKeyPaintWhite, host::typeBoolean, "Paint remaining black pixels white"}}};
    return terms;
}

const SFilterTerms& AutoFlatsTerms() {
    static const SFilterTerms terms{
        AUTOFLATS_MENU_NAME,
        kAutoFlatsCode,
        VANDREL_COMPANY " " AUTOFLATS_PRODUCT_NAME,
        AUTOFLATS_DESCRIPTION,
        {{"Maximum Gap", kKeyMaxGap, host::typeInteger, "Widest gap in the lines that still closes a region"},
         {"Smallest Region", kKeyMinRegion, host::typeInteger, "Regions of fewer pixels join a neighbour"},
         {"Spot Blacks As Regions", kKeySpotBlacksRegions, host::typeBoolean,
          "Solid black areas become regions of their own"}}};
    return terms;
}

CResourceWriter TerminologyLink(uint32_t code) {
    CResourceWriter out;
    out.Int32(0);      // version
    out.FourCC(code);  // event class
    out.FourCC(code);  // event ID
    out.Int16(kPluginResourceID);
    const std::size_t scope = out.Size();
    out.CString("");  // no unique scope: scriptable from any host
    out.PadString(scope);
    return out;
}

std::vector<uint8_t> BuildFilterPiPL(EntryArch arch, const SFilterTerms& terms) {
    CPropertyList list;
    list.Add(FourCC("kind"), Code(FourCC("8BFM")));
    list.Add(FourCC("name"), PaddedPascal(terms.menuName));
    list.Add(FourCC("catg"), PaddedPascal(VANDREL_CATEGORY));

    CResourceWriter version;
    version.Int32(0x00040000);  // filter interface 4.0
    list.Add(FourCC("vers"), version);

    list.Add(EntryPointKey(arch), PaddedCString(kEntryPointName));
    list.Add(FourCC("hstm"), TerminologyLink(terms.code));

    CResourceWriter modes;
    for (uint8_t flags : kModeFlags) modes.Int8(flags);
    list.Add(FourCC("mode"), modes);

    list.Add(FourCC("enbl"), PaddedCString(kEnableCondition));

    CResourceWriter cases;
    for (const FilterCase& filterCase : kFilterCases) {
        cases.Int8(filterCase.input);
        cases.Int8(filterCase.output);
        cases.Int8(0);  // flags: none of the host's options
        cases.Int8(0);  // reserved
    }
    list.Add(FourCC("fici"), cases);
    return list.Finish();
}

std::vector<uint8_t> BuildFilterTerminology(const SFilterTerms& terms) {
    CResourceWriter out;
    out.Int16(1);  // reserved for the host on Windows
    out.Int8(1);   // major version
    out.Int8(0);   // minor version
    out.Int16(0);  // language: English
    out.Int16(0);  // script: Roman
    out.Int16(1);  // suites

    out.PascalString(VANDREL_COMPANY);
    out.PascalString("plug-ins");
    out.FourCC(terms.code);
    out.Int16(1);  // suite level
    out.Int16(1);  // suite version
    out.Int16(1);  // events

    out.PascalString(terms.eventName);
    out.PascalString(terms.description);
    out.FourCC(terms.code);      // event class
    out.FourCC(terms.code);      // event ID
    out.FourCC(host::typeNull);  // no reply
    out.PascalString("");
    out.Int16(0);
    out.FourCC(host::typeImageReference);  // the image the event applies to
    out.PascalString("");
    out.Int16(kDirectParameterFlags);

    out.Int16(uint16_t(terms.keys.size()));  // other parameters
    for (const SScriptKey& key : terms.keys) {
        out.PascalString(key.name);
        out.FourCC(key.key);
        out.FourCC(key.type);
        out.PascalString(key.description);
        out.Int16(0);
    }

    out.Int16(0);  // classes
    out.Int16(0);  // comparison operators
    out.Int16(0);  // enumerations
    return out.Bytes();
}

}  // namespace

uint32_t EntryPointKey(EntryArch arch) { return arch == EntryArch::X64 ? FourCC("8664") : FourCC("wx86"); }

std::vector<uint8_t> BuildPiPL(EntryArch arch) { return BuildFilterPiPL(arch, VandrelProTerms()); }
std::vector<uint8_t> BuildTerminology() { return BuildFilterTerminology(VandrelProTerms()); }

std::vector<uint8_t> BuildAutoFlatsPiPL(EntryArch arch) { return BuildFilterPiPL(arch, AutoFlatsTerms()); }
std::vector<uint8_t> BuildAutoFlatsTerminology() { return BuildFilterTerminology(AutoFlatsTerms()); }
