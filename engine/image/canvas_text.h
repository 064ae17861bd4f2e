// Glyphs behind the canvas text (canvas_text.cpp): one twin per system opens
// faces, measures and rasterises a line as coverage (canvas_text_posix.cpp
// with FreeType, canvas_text_w32.cpp with GDI). The callers hold the text
// lock (fxTextLock) around every call.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

class FXFontGDI;

// Faces are shared by whoever draws text and are not safe to use from two
// threads at once. Never destroyed: fonts of static lifetime lock it at exit.
std::mutex& fxTextLock();

// Opens the font file (a native path) with the height rule of FXFontGDI (h is
// not 0) and fills face, ascent and cellHeight. An empty path asks for the
// system's own user-interface face, where the system has one (GDI does).
// False, traced, on failure.
bool fxTextOpenFace(FXFontGDI* font, const char* nativePath, int h);
// Releases the face; the caller clears the members.
void fxTextCloseFace(FXFontGDI* font);
// The sum of the characters' whole-pixel advances, no kerning; a glyph that
// cannot be loaded takes no room. Stops once far beyond any picture.
int64_t fxTextAdvances(FXFontGDI* font, const std::vector<uint32_t>& codes);
// Coverage of one line: w x h bytes, 0 for black, 255 for full white, the
// glyphs at the advances measured and the baseline font->ascent from the top.
void fxTextRender(FXFontGDI* font, const std::vector<uint32_t>& codes, int w, int h, std::vector<uint8_t>* cov);
