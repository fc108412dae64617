// Gradient push buttons: colour maths, colour-stop gradients, the two button faces and the button.
#pragma once

#include "base/utils.h" // vlFontInfo

#include <QImage>
#include <QPushButton>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QColor;

// ---- colour maths (plain functions, any thread) ------------------------------------------------
// Colours are 0x00BBGGRR values (red in the low byte). A channel is handled as a fraction
// byte / 255 and turned back into a byte by multiplying by 255 and truncating; the truncation
// works on the exact value, so binary round-off never costs a step (200 * 0.5 gives 100, not 99).

// Every channel times `f`, clamped to 0..255.
uint32_t fadeScaleColor(uint32_t c, double f);
// (1 - x) * a + x * b per channel, x clamped to 0..1 (a NaN x counts as 0).
uint32_t fadeMixColor(uint32_t a, uint32_t b, double x);
// Six upper-case hex digits of the blue, green and red bytes: 0x0000FF (red) gives "0000FF".
std::string fadeColorToText(uint32_t c);
// The reverse: one to six hex digits (either case) read as 0x00BBGGRR; nullopt for anything
// else (empty, longer, signs, blanks, non-hex characters).
std::optional<uint32_t> fadeTextToColor(std::string_view text);
// Converts for painting.
QColor fadeQColor(uint32_t c);

// ---- colour stops ------------------------------------------------------------------------------
// One stop of a gradient: a position 0..1 along it and the colour there.
struct TFadeStop {
    float pos;      // 0 = start, 1 = end
    uint32_t color; // 0x00BBGGRR
};

// A fresh stop list: 0.0 -> 0x606060 and 1.0 -> 0xE0E0E0.
std::vector<TFadeStop> fadeResetStops();

// Result of reading a stop text.
struct TFadeParse {
    std::vector<TFadeStop> stops; // the reset list when !ok
    bool ok = true;               // every pair was read without error
    std::string error;            // what was wrong, for the user; empty when ok
};

// Longest stop text read; longer texts are refused whole (a real one is under 100 characters).
inline constexpr std::size_t kFadeTextMax = 4096;

// Reads "pos,colour,pos,colour,..." (decimal positions with '.', colours as fadeTextToColor)
// on top of the reset list: position exactly 0 or 1 recolours the first or last stop; any
// other position is inserted in order when 0.01 < pos < 0.99 and no stop lies within +-0.01
// of it, and otherwise ignored. An empty text gives the reset list. Any malformed,
// truncated or over-long text gives ok = false, a message and the reset list.
TFadeParse fadeParseStops(std::string_view text);

// Colour at x (0..1): the mix of the first neighbouring stops s[i] <= x <= s[i+1];
// 0 (black) when no pair encloses x.
uint32_t fadeColorAt(const std::vector<TFadeStop>& stops, double x);

// Stop texts of the released and the pressed button face for base colour c.
std::string fadeReleasedStops(uint32_t c);
std::string fadePressedStops(uint32_t c);

// ---- TColorFadeImage ---------------------------------------------------------------------------
// An off-screen image holding one gradient and text drawn onto it. GUI thread only (it paints
// text with QPainter); the image itself may be handed to any thread as a copy.
class TColorFadeImage {
public:
    // An image of w x h pixels (negative sizes count as 0), filled white, with the reset list.
    explicit TColorFadeImage(int w = 700, int h = 700);

    // Sizes the image to w x h, applies the stop text `colorfade` (see applyFade) and draws
    // the gradient: direction true = left to right in vertical lines, false = bottom to top in
    // horizontal lines. Sizes below 1 leave an empty image.
    void fadeImage(int w, int h, const std::string& colorfade, bool direction);
    // Applies a stop text unless it equals the one last applied. Returns false (stops reset,
    // fadeError() set) for a text that could not be read.
    bool applyFade(const std::string& colorfade);

    // Draws `text` centred in the current font (transparent background).
    void centerText(const QString& text);
    // Draws `text` with its top-left corner at (l, t) pixels, transparent background.
    void drawText(int l, int t, const QString& text);
    // Canvas font: face name, size in points, colour 0x00BBGGRR.
    void setTextFont(const QString& name, int size, uint32_t color);
    void copyFont(const vlFontInfo& font);
    const vlFontInfo& textFont() const { return m_font; }

    const QImage& image() const { return m_img; }
    const std::vector<TFadeStop>& stops() const { return clist; }
    // The stop text last applied successfully ("" = the reset list).
    const std::string& fade() const { return ffade; }
    // Why the last stop text was refused; empty after a successful one.
    const std::string& fadeError() const { return m_error; }

private:
    void paintLines(bool direction);

    std::vector<TFadeStop> clist; // gradient stops, sorted by position, first 0 and last 1
    std::string ffade;            // stop text clist was built from
    std::string m_error;          // message of the last refused stop text
    vlFontInfo m_font;            // font for centerText/drawText
    QImage m_img;                 // the pixels (RGB32)
};

// ---- TFadeBtn2Images ---------------------------------------------------------------------------
// The two faces of a faded button, rendered from one base colour: img1 released, img2 pressed.
// Faces are (width - 4) x (height - 4) pixels. GUI thread only.
class TFadeBtn2Images {
public:
    TFadeBtn2Images();

    QString textOn() const { return ton; }
    QString textOff() const { return toff; }
    // Caption of the pressed / released face; re-renders when the text differs.
    void setTextOn(const QString& t);
    void setTextOff(const QString& t);
    // Copies the font to both images and to the caption font; call redraw() to show it.
    void setTextFont(const vlFontInfo& font);
    const vlFontInfo& textFont() const { return ffont; }

    uint32_t buttonColor() const { return bcol; }
    // Re-renders both faces when c differs from the current base colour (0x00BBGGRR).
    void setButtonColor(uint32_t c);
    int width() const { return fw; }
    int height() const { return fh; }
    // Face area plus 4 pixels; a change re-renders both faces.
    void setWidth(int w);
    void setHeight(int h);
    // Renders both faces again as they are (after a font change).
    void redraw();

    // The pressed face for n >= 1, else the released face.
    const TColorFadeImage& getImage(int n) const { return n >= 1 ? img2 : img1; }
    // How often the faces were rendered; lets callers see that a repeated write was free.
    int renderCount() const { return m_renders; }

private:
    void render(uint32_t c);

    TColorFadeImage img1; // released face
    TColorFadeImage img2; // pressed face
    vlFontInfo ffont;     // caption font: "arial", 12 pt, black
    uint32_t bcol = 0;    // base colour, 0x00BBGGRR
    QString ton;          // caption on the pressed face
    QString toff;         // caption on the released face
    int fw = 704;         // face width + 4 (the images start 700 x 700)
    int fh = 704;         // face height + 4
    bool frdw = false;    // force a render although colour and texts are unchanged
    int m_renders = 0;    // faces rendered so far
};

// ---- TFadedButton ------------------------------------------------------------------------------
// A push button whose face is a vertical gradient computed from one base colour, caption
// centred; pressed it shows a darker face shifted one pixel right and down. Use it like any
// QPushButton (clicked(), setEnabled(), setFont()); set the caption with setCaption() and the
// colour with setButtonColor(). A new button is white until a colour is set. GUI thread only.
class TFadedButton : public QPushButton {
    Q_OBJECT
public:
    explicit TFadedButton(QWidget* parent = nullptr);
    TFadedButton(const QString& caption, QWidget* parent = nullptr);

    // The caption on both faces (also the QPushButton text, so mnemonics and size hints work).
    // A plain setText() is picked up at the next paint.
    QString caption() const { return fi.textOn(); }
    void setCaption(const QString& text);
    // Base colour as a 0x00BBGGRR value from the settings ("COLSOUNDON", "COLFORM", ...).
    uint32_t buttonColor() const { return fi.buttonColor(); }
    void setButtonColor(uint32_t winColor);
    void setBaseColor(uint32_t winColor) { setButtonColor(winColor); }
    // Marks the button as the dialog's default button; repaints on a change.
    void setButtonStyle(bool isDefault);
    bool buttonStyle() const { return IsFocused; }

    const TFadeBtn2Images& faces() const { return fi; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void syncFaces();

    TFadeBtn2Images fi;     // the rendered faces
    bool IsFocused = false; // default-button state
};
