// The data package's file name and its record numbers: which picture each
// part of the show reads. The demo-content builder writes the same numbers,
// so both take them from here.
#pragma once

// The package inside the data folder.
constexpr char kPackageFile[] = "xxdata.dat";

// The gallery set's pictures.
constexpr int kEntryGallery1 = 31;
constexpr int kEntryGallery2 = 33;
constexpr int kEntryGallery3 = 35;
// The bubbles: 0 and 1 open the show, 2 belongs to the gallery set, 3 to 6
// are drawn at random in the later sets.
constexpr int kEntryBubble0 = 41;
constexpr int kEntryBubble1 = 42;
constexpr int kEntryBubble2 = 55;
constexpr int kEntryBubble3 = 32;
constexpr int kEntryBubble4 = 34;
constexpr int kEntryBubble5 = 36;
constexpr int kEntryBubble6 = 37;
// The captions rising with bubbles 2 to 6.
constexpr int kEntryCaption2 = 47;
constexpr int kEntryCaption3 = 43;
constexpr int kEntryCaption4 = 44;
constexpr int kEntryCaption5 = 45;
constexpr int kEntryCaption6 = 46;
// The translucent billboards.
constexpr int kEntryBillboard1 = 48;
constexpr int kEntryBillboard2 = 49;
constexpr int kEntryBillboard3 = 50;
constexpr int kEntryBillboard4 = 51;
constexpr int kEntryBillboard5 = 52;
constexpr int kEntryBillboard6 = 53;
// The overlay over the darkened desktop, the two banners in the top-left
// corner, the picture shown when the device lacks multitexturing, and the
// preview's picture.
constexpr int kEntryFrameOverlay = 38;
constexpr int kEntryBanner = 39;
constexpr int kEntryBanner1 = 54;
constexpr int kEntryErrorPicture = 40;
constexpr int kEntryPreview = 56;
// The set movies, in the order the photo sets number them: the first part
// and the main part of each set kind.
constexpr int kEntryMovie0 = 357;
constexpr int kEntryMovie1 = 420;
constexpr int kEntryMovie2 = 721;
constexpr int kEntryMovie3 = 824;
constexpr int kEntryMovie4 = 1723;
constexpr int kEntryMovie5 = 1121;
constexpr int kEntryMovie6 = 1234;
constexpr int kEntryMovie7 = 2325;
constexpr int kEntryMovie8 = 2044;
// The gallery set's animated 3D model (a frame animation).
constexpr int kEntryGalleryModel = 2328;
// The root scene the gallery set shows in place of the desktop.
constexpr int kEntryRootScene = 0;
