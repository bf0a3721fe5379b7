// The host's filter plug-in interface, declared by this project itself.
//
// The layout must match what hosts were compiled with, byte for byte, on
// 32-bit and 64-bit Windows; HostLayoutChecks.h asserts every offset at
// compile time. Only fixed-width types are used: `long` is 4 bytes on Win64
// and 8 on Linux, and the Linux simulator build shares these declarations.
//
// Packing: FilterRecord and BigDocumentStruct are packed to 4 on every
// target (on x86-64 that moves every pointer after the first field); the
// suite tables and AboutRecord keep natural alignment; the PiPL payloads are
// byte-packed. The pragmas are unconditional on purpose: a `#if WIN32` guard
// silently disappears under strict -std modes.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef int16_t OSErr;
typedef uint8_t Boolean;  // returned in AL by hosts: must stay one byte
typedef int32_t Fixed;
typedef uint32_t OSType;
typedef uint32_t ResType;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescriptorTypeID;
typedef uint32_t DescriptorUnitID;
typedef uint32_t DescriptorEnumID;
typedef char* Ptr;
typedef char** Handle;
typedef Handle PIDescriptorHandle;
typedef uint8_t Str255[256];
typedef const uint8_t* ConstStr255Param;
typedef uint8_t FilterColor[4];
typedef int32_t SPErr;
typedef int32_t SPBoolean;  // 4 bytes on Windows, like BOOL

struct Point {
    int16_t v;
    int16_t h;
};

struct Rect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct VPoint {
    int32_t v;
    int32_t h;
};

struct VRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
};

struct RGBColor {
    uint16_t red;
    uint16_t green;
    uint16_t blue;
};

struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

struct PlatformData {
    intptr_t hwnd;  // the host window that owns our dialogs
};

struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newBlock);
    SPErr (*Undefined)(void);
};

struct AboutRecord {
    void* platformData;  // -> PlatformData
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// --- Handles -------------------------------------------------------------

typedef Handle (*NewPIHandleProc)(int32_t size);
typedef void (*DisposePIHandleProc)(Handle h);
typedef int32_t (*GetPIHandleSizeProc)(Handle h);
typedef OSErr (*SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef Ptr (*LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void (*UnlockPIHandleProc)(Handle h);
typedef void (*RecoverSpaceProc)(int32_t size);
typedef void (*DisposeRegularHandlePIHandleProc)(Handle h);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};

// --- Scripting descriptors -------------------------------------------------

typedef struct PIOpaqueReadDescriptor* PIReadDescriptor;
typedef struct PIOpaqueWriteDescriptor* PIWriteDescriptor;

struct PIDescriptorSimpleReference {
    DescriptorTypeID desiredClass;
    DescriptorKeyID keyForm;
    struct {
        Str255 name;
        int32_t index;
        DescriptorTypeID type;
        DescriptorEnumID value;
    } keyData;
};

struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle descriptor, DescriptorKeyID* keyArray);
    OSErr (*closeReadDescriptorProc)(PIReadDescriptor token);
    Boolean (*getKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type,
                          int32_t* flags);
    OSErr (*getIntegerProc)(PIReadDescriptor token, int32_t* value);
    OSErr (*getFloatProc)(PIReadDescriptor token, double* value);
    OSErr (*getUnitFloatProc)(PIReadDescriptor token, DescriptorUnitID* unit, double* value);
    OSErr (*getBooleanProc)(PIReadDescriptor token, Boolean* value);
    OSErr (*getTextProc)(PIReadDescriptor token, Handle* text);
    OSErr (*getAliasProc)(PIReadDescriptor token, Handle* alias);
    OSErr (*getEnumeratedProc)(PIReadDescriptor token, DescriptorEnumID* value);
    OSErr (*getClassProc)(PIReadDescriptor token, DescriptorTypeID* value);
    OSErr (*getSimpleReferenceProc)(PIReadDescriptor token, PIDescriptorSimpleReference* ref);
    OSErr (*getObjectProc)(PIReadDescriptor token, DescriptorTypeID* type, PIDescriptorHandle* object);
    OSErr (*getCountProc)(PIReadDescriptor token, uint32_t* count);
    OSErr (*getStringProc)(PIReadDescriptor token, Str255* out);
    OSErr (*getPinnedIntegerProc)(PIReadDescriptor token, int32_t min, int32_t max, int32_t* value);
    OSErr (*getPinnedFloatProc)(PIReadDescriptor token, const double* min, const double* max, double* value);
    OSErr (*getPinnedUnitFloatProc)(PIReadDescriptor token, const double* min, const double* max,
                                    DescriptorUnitID* unit, double* value);
};

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    PIWriteDescriptor (*openWriteDescriptorProc)(void);
    OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);
    OSErr (*putIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32_t value);
    OSErr (*putFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
    OSErr (*putUnitFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit,
                              const double* value);
    OSErr (*putBooleanProc)(PIWriteDescriptor token, DescriptorKeyID key, Boolean value);
    OSErr (*putTextProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle text);
    OSErr (*putAliasProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle alias);
    OSErr (*putEnumeratedProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                               DescriptorEnumID value);
    OSErr (*putClassProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value);
    OSErr (*putSimpleReferenceProc)(PIWriteDescriptor token, DescriptorKeyID key,
                                    const PIDescriptorSimpleReference* ref);
    OSErr (*putObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                           PIDescriptorHandle object);
    OSErr (*putCountProc)(PIWriteDescriptor token, DescriptorKeyID key, uint32_t count);
    OSErr (*putStringProc)(PIWriteDescriptor token, DescriptorKeyID key, ConstStr255Param pascalString);
    OSErr (*putScopedClassProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value);
    OSErr (*putScopedObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                                 PIDescriptorHandle object);
};

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;
    int16_t recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

// --- The filter record ----------------------------------------------------

typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32_t done, int32_t total);
typedef void (*HostProc)(int16_t selector, intptr_t* data);
typedef void (*ProcessEventProc)(void* event);
typedef OSErr (*DisplayPixelsProc)(const void* source, const VRect* srcRect, int32_t dstRow, int32_t dstCol,
                                   void* platformContext);
typedef OSErr (*AdvanceStateProc)(void);
typedef OSErr (*GetPropertyProc)(OSType signature, OSType key, int32_t index, intptr_t* simpleProperty,
                                 Handle* complexProperty);
typedef OSErr (*ColorServicesProc)(void* info);

struct BufferProcs;
struct ResourceProcs;
struct ImageServicesProcs;
struct PropertyProcs;
struct ChannelPortProcs;
struct ReadImageDocumentDesc;

#pragma pack(push, 4)

struct BigDocumentStruct {
    int32_t PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};

struct FilterRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point imageSize;
    int16_t planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
    int32_t maxSpace;
    int32_t bufferSpace;
    Rect inRect;
    int16_t inLoPlane;
    int16_t inHiPlane;
    Rect outRect;
    int16_t outLoPlane;
    int16_t outHiPlane;
    void* inData;
    int32_t inRowBytes;
    void* outData;
    int32_t outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32_t maskRowBytes;
    FilterColor backColor;
    FilterColor foreColor;
    OSType hostSig;
    HostProc hostProc;
    int16_t imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    void* platformData;  // -> PlatformData
    BufferProcs* bufferProcs;
    ResourceProcs* resourceProcs;
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    // 3.0
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16_t wantLayout;
    int16_t filterCase;
    int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    GetPropertyProc getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16_t inputPadding;
    int16_t outputPadding;
    int16_t maskPadding;
    char samplingSupport;
    char reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;
    int16_t inLayerPlanes;
    int16_t inTransparencyMask;
    int16_t inLayerMasks;
    int16_t inInvertedLayerMasks;
    int16_t inNonLayerPlanes;
    int16_t outLayerPlanes;
    int16_t outTransparencyMask;
    int16_t outLayerMasks;
    int16_t outInvertedLayerMasks;
    int16_t outNonLayerPlanes;
    int16_t absLayerPlanes;
    int16_t absTransparencyMask;
    int16_t absLayerMasks;
    int16_t absInvertedLayerMasks;
    int16_t absNonLayerPlanes;
    int16_t inPreDummyPlanes;
    int16_t inPostDummyPlanes;
    int16_t outPreDummyPlanes;
    int16_t outPostDummyPlanes;
    int32_t inColumnBytes;
    int32_t inPlaneBytes;
    int32_t outColumnBytes;
    int32_t outPlaneBytes;
    // 3.0.4
    ImageServicesProcs* imageServicesProcs;
    PropertyProcs* propertyProcs;
    int16_t inTileHeight;
    int16_t inTileWidth;
    Point inTileOrigin;
    int16_t absTileHeight;
    int16_t absTileWidth;
    Point absTileOrigin;
    int16_t outTileHeight;
    int16_t outTileWidth;
    Point outTileOrigin;
    int16_t maskTileHeight;
    int16_t maskTileWidth;
    Point maskTileOrigin;
    // 4.0
    PIDescriptorParameters* descriptorParameters;
    Str255* errorString;
    ChannelPortProcs* channelPortProcs;
    ReadImageDocumentDesc* documentInfo;
    // 5.0
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    int32_t depth;
    // 6.0
    Handle iCCprofileData;
    int32_t iCCprofileSize;
    int32_t canUseICCProfiles;
    // 7.0 and later
    int32_t hasImageScrap;
    BigDocumentStruct* bigDocumentData;
    PIDescriptorParameters* input3DScene;
    PIDescriptorParameters* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    int32_t iCCWorkingProfileSize;
    int64_t bufferSpace64;
    int64_t maxSpace64;
    Boolean allowOverrangeColors;
    char reserved[45];
};

#pragma pack(pop)

#pragma pack(push, 1)

struct FilterCaseInfo {
    int8_t inputHandling;
    int8_t outputHandling;
    uint8_t flags1;
    uint8_t flags2;
};

struct PITerminology {
    int32_t version;
    uint32_t classID;
    uint32_t eventID;
    int16_t terminologyID;
    char scopeString[1];
};

#pragma pack(pop)

// The entry point every host calls; exported by exactly this name.
typedef void (*PluginMainProc)(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result);

}  // extern "C"

// --- Constants --------------------------------------------------------------

namespace host {

enum : int16_t {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

enum : OSErr {
    noErr = 0,
    userCanceledErr = -128,
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    eofErr = -39,
    coercedParamErr = 2,
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900,
};

enum : int16_t {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
};

enum : int16_t {
    filterCaseUnsupported = -1,
    filterCaseNotSet = 0,
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7,
};

enum : int16_t {
    plugInDialogDontDisplay = 0,
    plugInDialogDisplay = 1,
    plugInDialogSilent = 2,
};

enum : int16_t {
    plugInDialogOptional = 0,
    plugInDialogRequired = 1,
    plugInDialogNone = 2,
};

enum : int16_t {
    kCurrentDescriptorParametersVersion = 0,
    kCurrentReadDescriptorProcsVersion = 0,
    kCurrentWriteDescriptorProcsVersion = 0,
    kCurrentHandleProcsVersion = 1,
    kReadDescriptorProcsCount = 18,
    kWriteDescriptorProcsCount = 16,
    kHandleProcsCount = 8,
};

// Four-character codes are numbers with the first character in the top byte.
constexpr uint32_t FourCC(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

constexpr DescriptorTypeID typeInteger = FourCC("long");
constexpr DescriptorTypeID typeBoolean = FourCC("bool");
constexpr DescriptorTypeID typeFloat = FourCC("doub");
constexpr DescriptorTypeID typeText = FourCC("TEXT");
constexpr DescriptorTypeID typeNull = FourCC("null");
constexpr DescriptorTypeID typeImageReference = FourCC("#ImR");

}  // namespace host

#include "hostapi/HostLayoutChecks.h"
