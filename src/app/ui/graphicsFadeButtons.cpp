// Gradient push buttons: colour maths, colour-stop gradients, the two button faces and the button.
#include "app/ui/graphicsFadeButtons.h"

#include <QColor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t kResetFirst = 0x606060; // colour of a fresh list at 0.0
constexpr uint32_t kResetLast = 0xE0E0E0;  // colour of a fresh list at 1.0
constexpr double kMinGap = 0.01;           // closest two stops may come, and to either end
constexpr uint32_t kWhite = 0xFFFFFF;      // base colour of a new button

// Channel n (0 red, 1 green, 2 blue) as a fraction 0..1.
double channel(uint32_t c, int n) {
    return ((c >> (8 * n)) & 0xFFu) / 255.0;
}

// Fraction back to a byte by truncation. The small lift keeps results that are whole bytes
// in exact arithmetic (0.784313.. * 255 = 200) from dropping to the byte below through
// binary round-off; real fractional parts here (factors with four decimals, mixes at i / L
// for images far below 10^6 lines) lie much further than 1e-7 from the next whole byte.
uint32_t toByte(double frac) {
    if (!(frac > 0.0)) // also NaN
        return 0;
    if (frac >= 1.0) return 255;
    return static_cast<uint32_t>(frac * 255.0 + 1e-7);
}

uint32_t fromChannels(double r, double g, double b) {
    return toByte(r) | (toByte(g) << 8) | (toByte(b) << 16);
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The comma-separated items, blanks around each removed; none for an empty text.
std::vector<std::string_view> splitItems(std::string_view text) {
    std::vector<std::string_view> items;
    if (text.empty()) return items;
    for (std::size_t from = 0;;) {
        const std::size_t comma = text.find(',', from);
        items.push_back(trimmed(text.substr(
            from, comma == std::string_view::npos ? std::string_view::npos : comma - from)));
        if (comma == std::string_view::npos) return items;
        from = comma + 1;
    }
}

// A whole token as a finite decimal number ("0.5", "1", "-2e-1"; no "inf", "nan", blanks).
std::optional<double> readNumber(std::string_view s) {
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Quoted token for messages, shortened so a huge bad token cannot flood the message.
std::string quote(std::string_view s) {
    constexpr std::size_t kShow = 20;
    std::string q = "\"";
    for (const char ch : s.substr(0, kShow)) // control bytes and broken encodings shown as '?'
        q += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
    return q + (s.size() > kShow ? "...\"" : "\"");
}

// Places one stop read from the text into the list as the stop rules say.
void placeStop(std::vector<TFadeStop>& stops, double pos, uint32_t color) {
    if (pos == 0.0) {
        stops.front().color = color;
        return;
    }
    if (pos == 1.0) {
        stops.back().color = color;
        return;
    }
    if (!(pos > kMinGap && pos < 1.0 - kMinGap)) return;
    const auto near = [pos](const TFadeStop& s) { return std::fabs(s.pos - pos) <= kMinGap; };
    if (std::any_of(stops.begin(), stops.end(), near)) return;
    const auto at =
        std::find_if(stops.begin(), stops.end(), [pos](const TFadeStop& s) { return s.pos > pos; });
    stops.insert(at, TFadeStop{static_cast<float>(pos), color});
}

TFadeParse refused(std::string message) {
    return TFadeParse{fadeResetStops(), false, std::move(message)};
}

// "p0,%s,p1,%s,..." for the given positions and colour factors of base colour c.
std::string faceStops(uint32_t c, std::initializer_list<const char*> pos,
                      std::initializer_list<double> factor) {
    std::string s;
    auto f = factor.begin();
    for (const char* p : pos) {
        s += (s.empty() ? "" : ",") + std::string(p) + "," + fadeColorToText(fadeScaleColor(c, *f));
        ++f;
    }
    return s;
}

} // namespace

// ---- colour maths ------------------------------------------------------------------------------

uint32_t fadeScaleColor(uint32_t c, double f) {
    return fromChannels(channel(c, 0) * f, channel(c, 1) * f, channel(c, 2) * f);
}

uint32_t fadeMixColor(uint32_t a, uint32_t b, double x) {
    x = std::isnan(x) ? 0.0 : std::clamp(x, 0.0, 1.0);
    const auto mix = [&](int n) { return (1.0 - x) * channel(a, n) + x * channel(b, n); };
    return fromChannels(mix(0), mix(1), mix(2));
}

std::string fadeColorToText(uint32_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", (c >> 16) & 0xFFu, (c >> 8) & 0xFFu, c & 0xFFu);
    return buf;
}

std::optional<uint32_t> fadeTextToColor(std::string_view text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

QColor fadeQColor(uint32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// ---- colour stops ------------------------------------------------------------------------------

std::vector<TFadeStop> fadeResetStops() {
    return {TFadeStop{0.0f, kResetFirst}, TFadeStop{1.0f, kResetLast}};
}

TFadeParse fadeParseStops(std::string_view text) {
    if (text.size() > kFadeTextMax)
        return refused("Colour stop text too long (" + std::to_string(text.size()) +
                       " characters, at most " + std::to_string(kFadeTextMax) + ")");
    const std::vector<std::string_view> items = splitItems(text);
    if (items.size() % 2 != 0)
        return refused("Colour stop " + std::to_string(items.size() / 2 + 1) +
                       " has a position but no colour");
    TFadeParse r{fadeResetStops(), true, {}};
    for (std::size_t i = 0; i < items.size(); i += 2) {
        const std::string stop = "Colour stop " + std::to_string(i / 2 + 1);
        const std::optional<double> pos = readNumber(items[i]);
        if (!pos) return refused(stop + ": position " + quote(items[i]) + " is not a number");
        const std::optional<uint32_t> col = fadeTextToColor(items[i + 1]);
        if (!col)
            return refused(stop + ": colour " + quote(items[i + 1]) +
                           " is not a hex colour BBGGRR");
        placeStop(r.stops, *pos, *col);
    }
    return r;
}

uint32_t fadeColorAt(const std::vector<TFadeStop>& stops, double x) {
    for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
        const double lo = stops[i].pos;
        const double hi = stops[i + 1].pos;
        if (lo <= x && x <= hi)
            return fadeMixColor(stops[i].color, stops[i + 1].color,
                                hi > lo ? (x - lo) / (hi - lo) : 0.0);
    }
    return 0;
}

std::string fadeReleasedStops(uint32_t c) {
    return faceStops(c, {"0.0", "0.1", "0.5", "0.9", "1.0"}, {0.3125, 0.5, 0.625, 0.9375, 0.625});
}

std::string fadePressedStops(uint32_t c) {
    return faceStops(c, {"0.0", "0.1", "0.5", "0.8", "0.9", "1.0"},
                     {0.1, 0.25, 0.375, 0.5, 0.4275, 0.375});
}

// ---- TColorFadeImage ---------------------------------------------------------------------------

TColorFadeImage::TColorFadeImage(int w, int h) : clist(fadeResetStops()) {
    if (w > 0 && h > 0) {
        m_img = QImage(w, h, QImage::Format_RGB32);
        m_img.fill(Qt::white);
    }
}

bool TColorFadeImage::applyFade(const std::string& colorfade) {
    if (colorfade == ffade) {
        m_error.clear();
        return true;
    }
    TFadeParse r = fadeParseStops(colorfade);
    clist = std::move(r.stops);
    m_error = std::move(r.error);
    // A refused text leaves the reset list, which is what the empty text stands for; keeping
    // the old text would make a later re-apply of it look unchanged and skip it.
    ffade = r.ok ? colorfade : std::string();
    return r.ok;
}

void TColorFadeImage::fadeImage(int w, int h, const std::string& colorfade, bool direction) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (m_img.width() != w || m_img.height() != h)
        m_img = (w > 0 && h > 0) ? QImage(w, h, QImage::Format_RGB32) : QImage();
    applyFade(colorfade);
    paintLines(direction);
}

void TColorFadeImage::paintLines(bool direction) {
    const int w = m_img.width();
    const int h = m_img.height();
    const int L = direction ? w : h;
    if (m_img.isNull() || L <= 0) return;
    for (int i = 0; i <= L; ++i) {
        const QRgb rgb = fadeQColor(fadeColorAt(clist, double(i) / L)).rgb();
        if (direction) {
            for (int y = 0; y < h && i < w; ++y)
                reinterpret_cast<QRgb*>(m_img.scanLine(y))[i] = rgb;
        } else if (i > 0) { // line h - i; i = 0 falls just below the image
            QRgb* row = reinterpret_cast<QRgb*>(m_img.scanLine(h - i));
            std::fill(row, row + w, rgb);
        }
    }
}

void TColorFadeImage::setTextFont(const QString& name, int size, uint32_t color) {
    m_font.font = QFont(name, std::max(size, 1));
    m_font.color = static_cast<int>(color);
}

void TColorFadeImage::copyFont(const vlFontInfo& font) {
    m_font = font;
}

void TColorFadeImage::drawText(int l, int t, const QString& text) {
    if (m_img.isNull() || text.isEmpty()) return;
    QPainter p(&m_img);
    p.setFont(m_font.font);
    p.setPen(fadeQColor(static_cast<uint32_t>(m_font.color)));
    p.setBackgroundMode(Qt::TransparentMode);
    p.drawText(l, t + p.fontMetrics().ascent(), text);
}

void TColorFadeImage::centerText(const QString& text) {
    if (m_img.isNull()) return;
    const QFontMetrics fm(m_font.font, &m_img);
    // Integer division halves toward zero, also when the text is wider than the image.
    drawText((m_img.width() - fm.horizontalAdvance(text)) / 2, (m_img.height() - fm.height()) / 2,
             text);
}

// ---- TFadeBtn2Images ---------------------------------------------------------------------------

TFadeBtn2Images::TFadeBtn2Images() : img1(700, 700), img2(700, 700) {
    ffont.font = QFont(QStringLiteral("arial"), 12);
    ffont.color = 0;
    img1.copyFont(ffont);
    img2.copyFont(ffont);
}

void TFadeBtn2Images::render(uint32_t c) {
    bcol = c;
    img1.copyFont(ffont);
    img2.copyFont(ffont);
    img1.fadeImage(fw - 4, fh - 4, fadeReleasedStops(c), false);
    img1.centerText(toff);
    img2.fadeImage(fw - 4, fh - 4, fadePressedStops(c), false);
    img2.centerText(ton);
    ++m_renders;
}

void TFadeBtn2Images::setButtonColor(uint32_t c) {
    if (c != bcol || frdw) render(c);
}

void TFadeBtn2Images::setTextOn(const QString& t) {
    if (t == ton) return;
    ton = t;
    render(bcol);
}

void TFadeBtn2Images::setTextOff(const QString& t) {
    if (t == toff) return;
    toff = t;
    render(bcol);
}

void TFadeBtn2Images::setTextFont(const vlFontInfo& font) {
    ffont = font;
    img1.copyFont(font);
    img2.copyFont(font);
}

void TFadeBtn2Images::redraw() {
    frdw = true;
    setButtonColor(bcol);
    frdw = false;
}

void TFadeBtn2Images::setWidth(int w) {
    if (w == fw) return;
    fw = w;
    redraw();
}

void TFadeBtn2Images::setHeight(int h) {
    if (h == fh) return;
    fh = h;
    redraw();
}

// ---- TFadedButton ------------------------------------------------------------------------------

TFadedButton::TFadedButton(QWidget* parent) : QPushButton(parent) {
    fi.setButtonColor(kWhite);
}

TFadedButton::TFadedButton(const QString& caption, QWidget* parent) : TFadedButton(parent) {
    setCaption(caption);
}

void TFadedButton::setCaption(const QString& text) {
    if (text == fi.textOn() && text == fi.textOff()) return;
    fi.setTextOn(text);
    fi.setTextOff(text);
    setText(text);
    update();
}

void TFadedButton::setButtonColor(uint32_t winColor) {
    if (winColor == fi.buttonColor()) return;
    fi.setButtonColor(winColor);
    update();
}

void TFadedButton::setButtonStyle(bool isDefault) {
    if (isDefault == IsFocused) return;
    IsFocused = isDefault;
    update();
}

void TFadedButton::syncFaces() {
    // setText() of the base class bypasses setCaption(); the faces catch up here.
    if (text() != fi.textOn() || text() != fi.textOff()) {
        fi.setTextOn(text());
        fi.setTextOff(text());
    }
    fi.setWidth(width() + 4);
    fi.setHeight(height() + 4);
}

void TFadedButton::resizeEvent(QResizeEvent* event) {
    fi.setWidth(width() + 4);
    fi.setHeight(height() + 4);
    QPushButton::resizeEvent(event);
}

void TFadedButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        vlFontInfo f = fi.textFont();
        f.font = font();
        fi.setTextFont(f);
        fi.redraw();
        update();
    } else if (event->type() == QEvent::EnabledChange) {
        update();
    }
    QPushButton::changeEvent(event);
}

void TFadedButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A fast second click must press the button again rather than be lost.
    if (event->button() == Qt::LeftButton)
        mousePressEvent(event);
    else
        QPushButton::mouseDoubleClickEvent(event);
}

void TFadedButton::paintEvent(QPaintEvent* /*event*/) {
    syncFaces();
    QPainter p(this);
    const QRect item = rect();
    if (hasFocus() || IsFocused) {
        p.setPen(QPen(palette().color(QPalette::Button), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(item.adjusted(0, 0, -1, -1));
    }
    const bool pressed = isDown() || isChecked();
    if (!pressed) {
        // The platform frame, in its inactive look when disabled; the face mostly covers it.
        QStyleOptionButton opt;
        initStyleOption(&opt);
        opt.text.clear();
        opt.icon = QIcon();
        style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
    }
    const QPoint at = pressed ? QPoint(1, 1) : QPoint(0, 0);
    p.drawImage(at, fi.getImage(pressed ? 1 : 0).image(), QRect(0, 0, fi.width(), fi.height()));
    if (!isEnabled()) {
        // The face hides the frame's inactive look, so a disabled button is washed out here.
        QColor wash = palette().color(QPalette::Disabled, QPalette::Window);
        wash.setAlpha(150);
        p.fillRect(item, wash);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect fr;
        fr.initFrom(this);
        fr.rect = item.adjusted(4, 4, -4, -4);
        fr.backgroundColor = palette().color(QPalette::Button);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, &p, this);
    }
}
