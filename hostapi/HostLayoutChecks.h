// Compile-time proof that the declarations in HostInterface.h have the host's
// binary layout. The numbers were measured from the hosts' own compilers for
// 32-bit and 64-bit Windows; the Linux x86-64 build must match the 64-bit set.
#pragma once

#include <cstddef>

#define VANDREL_HOST_LAYOUT(type, field, off32, off64)                               \
    static_assert(offsetof(type, field) == (sizeof(void*) == 4 ? (off32) : (off64)), \
                  #type "." #field " offset")
#define VANDREL_HOST_SIZE(type, size32, size64) \
    static_assert(sizeof(type) == (sizeof(void*) == 4 ? (size32) : (size64)), "sizeof(" #type ")")

// FilterRecord
VANDREL_HOST_LAYOUT(FilterRecord, serialNumber, 0, 0);
VANDREL_HOST_LAYOUT(FilterRecord, abortProc, 4, 4);
VANDREL_HOST_LAYOUT(FilterRecord, progressProc, 8, 12);
VANDREL_HOST_LAYOUT(FilterRecord, parameters, 12, 20);
VANDREL_HOST_LAYOUT(FilterRecord, imageSize, 16, 28);
VANDREL_HOST_LAYOUT(FilterRecord, planes, 20, 32);
VANDREL_HOST_LAYOUT(FilterRecord, filterRect, 22, 34);
VANDREL_HOST_LAYOUT(FilterRecord, background, 30, 42);
VANDREL_HOST_LAYOUT(FilterRecord, foreground, 36, 48);
VANDREL_HOST_LAYOUT(FilterRecord, maxSpace, 44, 56);
VANDREL_HOST_LAYOUT(FilterRecord, bufferSpace, 48, 60);
VANDREL_HOST_LAYOUT(FilterRecord, inRect, 52, 64);
VANDREL_HOST_LAYOUT(FilterRecord, inLoPlane, 60, 72);
VANDREL_HOST_LAYOUT(FilterRecord, inHiPlane, 62, 74);
VANDREL_HOST_LAYOUT(FilterRecord, outRect, 64, 76);
VANDREL_HOST_LAYOUT(FilterRecord, outLoPlane, 72, 84);
VANDREL_HOST_LAYOUT(FilterRecord, outHiPlane, 74, 86);
VANDREL_HOST_LAYOUT(FilterRecord, inData, 76, 88);
VANDREL_HOST_LAYOUT(FilterRecord, inRowBytes, 80, 96);
VANDREL_HOST_LAYOUT(FilterRecord, outData, 84, 100);
VANDREL_HOST_LAYOUT(FilterRecord, outRowBytes, 88, 108);
VANDREL_HOST_LAYOUT(FilterRecord, isFloating, 92, 112);
VANDREL_HOST_LAYOUT(FilterRecord, haveMask, 93, 113);
VANDREL_HOST_LAYOUT(FilterRecord, autoMask, 94, 114);
VANDREL_HOST_LAYOUT(FilterRecord, maskRect, 96, 116);
VANDREL_HOST_LAYOUT(FilterRecord, maskData, 104, 124);
VANDREL_HOST_LAYOUT(FilterRecord, maskRowBytes, 108, 132);
VANDREL_HOST_LAYOUT(FilterRecord, backColor, 112, 136);
VANDREL_HOST_LAYOUT(FilterRecord, foreColor, 116, 140);
VANDREL_HOST_LAYOUT(FilterRecord, hostSig, 120, 144);
VANDREL_HOST_LAYOUT(FilterRecord, hostProc, 124, 148);
VANDREL_HOST_LAYOUT(FilterRecord, imageMode, 128, 156);
VANDREL_HOST_LAYOUT(FilterRecord, imageHRes, 132, 160);
VANDREL_HOST_LAYOUT(FilterRecord, imageVRes, 136, 164);
VANDREL_HOST_LAYOUT(FilterRecord, floatCoord, 140, 168);
VANDREL_HOST_LAYOUT(FilterRecord, wholeSize, 144, 172);
VANDREL_HOST_LAYOUT(FilterRecord, monitor, 148, 176);
VANDREL_HOST_LAYOUT(FilterRecord, platformData, 188, 216);
VANDREL_HOST_LAYOUT(FilterRecord, bufferProcs, 192, 224);
VANDREL_HOST_LAYOUT(FilterRecord, resourceProcs, 196, 232);
VANDREL_HOST_LAYOUT(FilterRecord, processEvent, 200, 240);
VANDREL_HOST_LAYOUT(FilterRecord, displayPixels, 204, 248);
VANDREL_HOST_LAYOUT(FilterRecord, handleProcs, 208, 256);
VANDREL_HOST_LAYOUT(FilterRecord, supportsDummyChannels, 212, 264);
VANDREL_HOST_LAYOUT(FilterRecord, supportsAlternateLayouts, 213, 265);
VANDREL_HOST_LAYOUT(FilterRecord, wantLayout, 214, 266);
VANDREL_HOST_LAYOUT(FilterRecord, filterCase, 216, 268);
VANDREL_HOST_LAYOUT(FilterRecord, dummyPlaneValue, 218, 270);
VANDREL_HOST_LAYOUT(FilterRecord, premiereHook, 220, 272);
VANDREL_HOST_LAYOUT(FilterRecord, advanceState, 224, 280);
VANDREL_HOST_LAYOUT(FilterRecord, supportsAbsolute, 228, 288);
VANDREL_HOST_LAYOUT(FilterRecord, wantsAbsolute, 229, 289);
VANDREL_HOST_LAYOUT(FilterRecord, getPropertyObsolete, 232, 292);
VANDREL_HOST_LAYOUT(FilterRecord, cannotUndo, 236, 300);
VANDREL_HOST_LAYOUT(FilterRecord, supportsPadding, 237, 301);
VANDREL_HOST_LAYOUT(FilterRecord, inputPadding, 238, 302);
VANDREL_HOST_LAYOUT(FilterRecord, outputPadding, 240, 304);
VANDREL_HOST_LAYOUT(FilterRecord, maskPadding, 242, 306);
VANDREL_HOST_LAYOUT(FilterRecord, samplingSupport, 244, 308);
VANDREL_HOST_LAYOUT(FilterRecord, reservedByte, 245, 309);
VANDREL_HOST_LAYOUT(FilterRecord, inputRate, 248, 312);
VANDREL_HOST_LAYOUT(FilterRecord, maskRate, 252, 316);
VANDREL_HOST_LAYOUT(FilterRecord, colorServices, 256, 320);
VANDREL_HOST_LAYOUT(FilterRecord, inLayerPlanes, 260, 328);
VANDREL_HOST_LAYOUT(FilterRecord, inTransparencyMask, 262, 330);
VANDREL_HOST_LAYOUT(FilterRecord, inLayerMasks, 264, 332);
VANDREL_HOST_LAYOUT(FilterRecord, inInvertedLayerMasks, 266, 334);
VANDREL_HOST_LAYOUT(FilterRecord, inNonLayerPlanes, 268, 336);
VANDREL_HOST_LAYOUT(FilterRecord, outLayerPlanes, 270, 338);
VANDREL_HOST_LAYOUT(FilterRecord, outTransparencyMask, 272, 340);
VANDREL_HOST_LAYOUT(FilterRecord, outLayerMasks, 274, 342);
VANDREL_HOST_LAYOUT(FilterRecord, outInvertedLayerMasks, 276, 344);
VANDREL_HOST_LAYOUT(FilterRecord, outNonLayerPlanes, 278, 346);
VANDREL_HOST_LAYOUT(FilterRecord, absLayerPlanes, 280, 348);
VANDREL_HOST_LAYOUT(FilterRecord, absTransparencyMask, 282, 350);
VANDREL_HOST_LAYOUT(FilterRecord, absLayerMasks, 284, 352);
VANDREL_HOST_LAYOUT(FilterRecord, absInvertedLayerMasks, 286, 354);
VANDREL_HOST_LAYOUT(FilterRecord, absNonLayerPlanes, 288, 356);
VANDREL_HOST_LAYOUT(FilterRecord, inPreDummyPlanes, 290, 358);
VANDREL_HOST_LAYOUT(FilterRecord, inPostDummyPlanes, 292, 360);
VANDREL_HOST_LAYOUT(FilterRecord, outPreDummyPlanes, 294, 362);
VANDREL_HOST_LAYOUT(FilterRecord, outPostDummyPlanes, 296, 364);
VANDREL_HOST_LAYOUT(FilterRecord, inColumnBytes, 300, 368);
VANDREL_HOST_LAYOUT(FilterRecord, inPlaneBytes, 304, 372);
VANDREL_HOST_LAYOUT(FilterRecord, outColumnBytes, 308, 376);
VANDREL_HOST_LAYOUT(FilterRecord, outPlaneBytes, 312, 380);
VANDREL_HOST_LAYOUT(FilterRecord, imageServicesProcs, 316, 384);
VANDREL_HOST_LAYOUT(FilterRecord, propertyProcs, 320, 392);
VANDREL_HOST_LAYOUT(FilterRecord, inTileHeight, 324, 400);
VANDREL_HOST_LAYOUT(FilterRecord, inTileWidth, 326, 402);
VANDREL_HOST_LAYOUT(FilterRecord, inTileOrigin, 328, 404);
VANDREL_HOST_LAYOUT(FilterRecord, absTileHeight, 332, 408);
VANDREL_HOST_LAYOUT(FilterRecord, absTileWidth, 334, 410);
VANDREL_HOST_LAYOUT(FilterRecord, absTileOrigin, 336, 412);
VANDREL_HOST_LAYOUT(FilterRecord, outTileHeight, 340, 416);
VANDREL_HOST_LAYOUT(FilterRecord, outTileWidth, 342, 418);
VANDREL_HOST_LAYOUT(FilterRecord, outTileOrigin, 344, 420);
VANDREL_HOST_LAYOUT(FilterRecord, maskTileHeight, 348, 424);
VANDREL_HOST_LAYOUT(FilterRecord, maskTileWidth, 350, 426);
VANDREL_HOST_LAYOUT(FilterRecord, maskTileOrigin, 352, 428);
VANDREL_HOST_LAYOUT(FilterRecord, descriptorParameters, 356, 432);
VANDREL_HOST_LAYOUT(FilterRecord, errorString, 360, 440);
VANDREL_HOST_LAYOUT(FilterRecord, channelPortProcs, 364, 448);
VANDREL_HOST_LAYOUT(FilterRecord, documentInfo, 368, 456);
VANDREL_HOST_LAYOUT(FilterRecord, sSPBasic, 372, 464);
VANDREL_HOST_LAYOUT(FilterRecord, plugInRef, 376, 472);
VANDREL_HOST_LAYOUT(FilterRecord, depth, 380, 480);
VANDREL_HOST_LAYOUT(FilterRecord, iCCprofileData, 384, 484);
VANDREL_HOST_LAYOUT(FilterRecord, iCCprofileSize, 388, 492);
VANDREL_HOST_LAYOUT(FilterRecord, canUseICCProfiles, 392, 496);
VANDREL_HOST_LAYOUT(FilterRecord, hasImageScrap, 396, 500);
VANDREL_HOST_LAYOUT(FilterRecord, bigDocumentData, 400, 504);
VANDREL_HOST_LAYOUT(FilterRecord, input3DScene, 404, 512);
VANDREL_HOST_LAYOUT(FilterRecord, output3DScene, 408, 520);
VANDREL_HOST_LAYOUT(FilterRecord, createNewLayer, 412, 528);
VANDREL_HOST_LAYOUT(FilterRecord, iCCWorkingProfileData, 416, 532);
VANDREL_HOST_LAYOUT(FilterRecord, iCCWorkingProfileSize, 420, 540);
VANDREL_HOST_LAYOUT(FilterRecord, bufferSpace64, 424, 544);
VANDREL_HOST_LAYOUT(FilterRecord, maxSpace64, 432, 552);
VANDREL_HOST_LAYOUT(FilterRecord, allowOverrangeColors, 440, 560);
VANDREL_HOST_LAYOUT(FilterRecord, reserved, 441, 561);
VANDREL_HOST_SIZE(FilterRecord, 488, 608);
// AboutRecord
VANDREL_HOST_LAYOUT(AboutRecord, platformData, 0, 0);
VANDREL_HOST_LAYOUT(AboutRecord, sSPBasic, 4, 8);
VANDREL_HOST_LAYOUT(AboutRecord, plugInRef, 8, 16);
VANDREL_HOST_LAYOUT(AboutRecord, reserved, 12, 24);
VANDREL_HOST_SIZE(AboutRecord, 256, 272);
// PlatformData
VANDREL_HOST_LAYOUT(PlatformData, hwnd, 0, 0);
VANDREL_HOST_SIZE(PlatformData, 4, 8);
// HandleProcs
VANDREL_HOST_LAYOUT(HandleProcs, handleProcsVersion, 0, 0);
VANDREL_HOST_LAYOUT(HandleProcs, numHandleProcs, 2, 2);
VANDREL_HOST_LAYOUT(HandleProcs, newProc, 4, 8);
VANDREL_HOST_LAYOUT(HandleProcs, disposeProc, 8, 16);
VANDREL_HOST_LAYOUT(HandleProcs, getSizeProc, 12, 24);
VANDREL_HOST_LAYOUT(HandleProcs, setSizeProc, 16, 32);
VANDREL_HOST_LAYOUT(HandleProcs, lockProc, 20, 40);
VANDREL_HOST_LAYOUT(HandleProcs, unlockProc, 24, 48);
VANDREL_HOST_LAYOUT(HandleProcs, recoverSpaceProc, 28, 56);
VANDREL_HOST_LAYOUT(HandleProcs, disposeRegularHandleProc, 32, 64);
VANDREL_HOST_SIZE(HandleProcs, 36, 72);
// PIDescriptorParameters
VANDREL_HOST_LAYOUT(PIDescriptorParameters, descriptorParametersVersion, 0, 0);
VANDREL_HOST_LAYOUT(PIDescriptorParameters, playInfo, 2, 2);
VANDREL_HOST_LAYOUT(PIDescriptorParameters, recordInfo, 4, 4);
VANDREL_HOST_LAYOUT(PIDescriptorParameters, descriptor, 8, 8);
VANDREL_HOST_LAYOUT(PIDescriptorParameters, writeDescriptorProcs, 12, 16);
VANDREL_HOST_LAYOUT(PIDescriptorParameters, readDescriptorProcs, 16, 24);
VANDREL_HOST_SIZE(PIDescriptorParameters, 20, 32);
// ReadDescriptorProcs
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, readDescriptorProcsVersion, 0, 0);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, numReadDescriptorProcs, 2, 2);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, openReadDescriptorProc, 4, 8);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, closeReadDescriptorProc, 8, 16);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getKeyProc, 12, 24);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getIntegerProc, 16, 32);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getFloatProc, 20, 40);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getUnitFloatProc, 24, 48);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getBooleanProc, 28, 56);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getTextProc, 32, 64);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getAliasProc, 36, 72);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getEnumeratedProc, 40, 80);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getClassProc, 44, 88);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getSimpleReferenceProc, 48, 96);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getObjectProc, 52, 104);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getCountProc, 56, 112);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getStringProc, 60, 120);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getPinnedIntegerProc, 64, 128);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getPinnedFloatProc, 68, 136);
VANDREL_HOST_LAYOUT(ReadDescriptorProcs, getPinnedUnitFloatProc, 72, 144);
VANDREL_HOST_SIZE(ReadDescriptorProcs, 76, 152);
// WriteDescriptorProcs
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, writeDescriptorProcsVersion, 0, 0);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, numWriteDescriptorProcs, 2, 2);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, openWriteDescriptorProc, 4, 8);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, closeWriteDescriptorProc, 8, 16);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putIntegerProc, 12, 24);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putFloatProc, 16, 32);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putUnitFloatProc, 20, 40);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putBooleanProc, 24, 48);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putTextProc, 28, 56);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putAliasProc, 32, 64);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putEnumeratedProc, 36, 72);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putClassProc, 40, 80);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putSimpleReferenceProc, 44, 88);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putObjectProc, 48, 96);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putCountProc, 52, 104);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putStringProc, 56, 112);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putScopedClassProc, 60, 120);
VANDREL_HOST_LAYOUT(WriteDescriptorProcs, putScopedObjectProc, 64, 128);
VANDREL_HOST_SIZE(WriteDescriptorProcs, 68, 136);
// SPBasicSuite
VANDREL_HOST_LAYOUT(SPBasicSuite, AcquireSuite, 0, 0);
VANDREL_HOST_LAYOUT(SPBasicSuite, ReleaseSuite, 4, 8);
VANDREL_HOST_LAYOUT(SPBasicSuite, IsEqual, 8, 16);
VANDREL_HOST_LAYOUT(SPBasicSuite, AllocateBlock, 12, 24);
VANDREL_HOST_LAYOUT(SPBasicSuite, FreeBlock, 16, 32);
VANDREL_HOST_LAYOUT(SPBasicSuite, ReallocateBlock, 20, 40);
VANDREL_HOST_LAYOUT(SPBasicSuite, Undefined, 24, 48);
VANDREL_HOST_SIZE(SPBasicSuite, 28, 56);
// PlugInMonitor
VANDREL_HOST_LAYOUT(PlugInMonitor, gamma, 0, 0);
VANDREL_HOST_LAYOUT(PlugInMonitor, redX, 4, 4);
VANDREL_HOST_LAYOUT(PlugInMonitor, redY, 8, 8);
VANDREL_HOST_LAYOUT(PlugInMonitor, greenX, 12, 12);
VANDREL_HOST_LAYOUT(PlugInMonitor, greenY, 16, 16);
VANDREL_HOST_LAYOUT(PlugInMonitor, blueX, 20, 20);
VANDREL_HOST_LAYOUT(PlugInMonitor, blueY, 24, 24);
VANDREL_HOST_LAYOUT(PlugInMonitor, whiteX, 28, 28);
VANDREL_HOST_LAYOUT(PlugInMonitor, whiteY, 32, 32);
VANDREL_HOST_LAYOUT(PlugInMonitor, ambient, 36, 36);
VANDREL_HOST_SIZE(PlugInMonitor, 40, 40);
// RGBColor
VANDREL_HOST_LAYOUT(RGBColor, red, 0, 0);
VANDREL_HOST_LAYOUT(RGBColor, green, 2, 2);
VANDREL_HOST_LAYOUT(RGBColor, blue, 4, 4);
VANDREL_HOST_SIZE(RGBColor, 6, 6);
// Rect
VANDREL_HOST_LAYOUT(Rect, top, 0, 0);
VANDREL_HOST_LAYOUT(Rect, left, 2, 2);
VANDREL_HOST_LAYOUT(Rect, bottom, 4, 4);
VANDREL_HOST_LAYOUT(Rect, right, 6, 6);
VANDREL_HOST_SIZE(Rect, 8, 8);
// Point
VANDREL_HOST_LAYOUT(Point, v, 0, 0);
VANDREL_HOST_LAYOUT(Point, h, 2, 2);
VANDREL_HOST_SIZE(Point, 4, 4);
// VRect
VANDREL_HOST_LAYOUT(VRect, top, 0, 0);
VANDREL_HOST_LAYOUT(VRect, left, 4, 4);
VANDREL_HOST_LAYOUT(VRect, bottom, 8, 8);
VANDREL_HOST_LAYOUT(VRect, right, 12, 12);
VANDREL_HOST_SIZE(VRect, 16, 16);
// VPoint
VANDREL_HOST_LAYOUT(VPoint, v, 0, 0);
VANDREL_HOST_LAYOUT(VPoint, h, 4, 4);
VANDREL_HOST_SIZE(VPoint, 8, 8);
// BigDocumentStruct
VANDREL_HOST_LAYOUT(BigDocumentStruct, PluginUsing32BitCoordinates, 0, 0);
VANDREL_HOST_LAYOUT(BigDocumentStruct, imageSize32, 4, 4);
VANDREL_HOST_LAYOUT(BigDocumentStruct, filterRect32, 12, 12);
VANDREL_HOST_LAYOUT(BigDocumentStruct, inRect32, 28, 28);
VANDREL_HOST_LAYOUT(BigDocumentStruct, outRect32, 44, 44);
VANDREL_HOST_LAYOUT(BigDocumentStruct, maskRect32, 60, 60);
VANDREL_HOST_LAYOUT(BigDocumentStruct, floatCoord32, 76, 76);
VANDREL_HOST_LAYOUT(BigDocumentStruct, wholeSize32, 84, 84);
VANDREL_HOST_SIZE(BigDocumentStruct, 92, 92);
// FilterCaseInfo
VANDREL_HOST_LAYOUT(FilterCaseInfo, inputHandling, 0, 0);
VANDREL_HOST_LAYOUT(FilterCaseInfo, outputHandling, 1, 1);
VANDREL_HOST_LAYOUT(FilterCaseInfo, flags1, 2, 2);
VANDREL_HOST_LAYOUT(FilterCaseInfo, flags2, 3, 3);
VANDREL_HOST_SIZE(FilterCaseInfo, 4, 4);
// PITerminology
VANDREL_HOST_LAYOUT(PITerminology, version, 0, 0);
VANDREL_HOST_LAYOUT(PITerminology, classID, 4, 4);
VANDREL_HOST_LAYOUT(PITerminology, eventID, 8, 8);
VANDREL_HOST_LAYOUT(PITerminology, terminologyID, 12, 12);
VANDREL_HOST_LAYOUT(PITerminology, scopeString, 14, 14);
VANDREL_HOST_SIZE(PITerminology, 15, 15);

#undef VANDREL_HOST_LAYOUT
#undef VANDREL_HOST_SIZE
