#include "review/Crossing_Proposal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>

#include "common/Text.h"
#include "review/Finish_Strip.h"
#include "settings/Module_Ini.h"

namespace Jackets {

namespace {

Jacket Plain(const char* name, uint32_t c) { return {name, c, std::nullopt}; }
Jacket Striped(const char* name, uint32_t a, uint32_t b) { return {name, a, b}; }

int Hex_Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Parse_Colour(const std::string& text, uint32_t& colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    uint32_t v = 0;
    for (size_t i = 1; i < 7; ++i) {
        const int d = Hex_Digit(text[i]);
        if (d < 0) return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    colour = v;
    return true;
}

}  // namespace

Table For(const std::string& jurisdiction) {
    const std::string j = Trim_Blanks(jurisdiction);
    if (j == "IE" || j == "ie") {
        // Ireland races in the same jackets as Great Britain.
        return For("GB");
    }
    if (j == "AU" || j == "au") {
        // Australia: 1 red, 2 black-and-white stripes, 3 white, 4 blue,
        // 5 yellow, 6 green, 7 black, 8 pink.
        return {Plain("red", 0xC81E1E),    Striped("black-and-white stripes", 0x141414, 0xF0F0F0),
                Plain("white", 0xF0F0F0),  Plain("blue", 0x285AC8),
                Plain("yellow", 0xF0D228), Plain("green", 0x1E8C3C),
                Plain("black", 0x141414),  Plain("pink", 0xF08CB4)};
    }
    return {Plain("red", 0xC81E1E),    Plain("blue", 0x285AC8),
            Plain("white", 0xF0F0F0),  Plain("black", 0x141414),
            Plain("orange", 0xF08C14), Striped("black-and-white stripes", 0x141414, 0xF0F0F0),
            Plain("green", 0x1E8C3C),  Striped("yellow-and-black stripes", 0xF0D228, 0x141414)};
}

std::vector<std::string> Jurisdictions() { return {"GB", "IE", "AU"}; }

bool Parse(const std::string& text, Jacket& jacket) {
    const std::string t = Trim_Blanks(text);
    uint32_t a = 0, b = 0;
    if (t.size() == 7 && Parse_Colour(t, a)) {
        jacket.Colour = a;
        jacket.Stripe.reset();
        return true;
    }
    if (t.size() == 15 && t[7] == '/' && Parse_Colour(t.substr(0, 7), a) && Parse_Colour(t.substr(8), b)) {
        jacket.Colour = a;
        jacket.Stripe = b;
        return true;
    }
    return false;
}

Table From_Settings(const std::string& ini_path) {
    Table table = For(Read_Ini("Assistant", "jurisdiction", ini_path, "GB"));
    for (int b = 1; b <= Boxes; ++b) {
        const std::string v = Read_Ini("Assistant", "jacket" + std::to_string(b), ini_path, "-");
        Jacket j = table[static_cast<size_t>(b - 1)];
        if (Parse(v, j)) table[static_cast<size_t>(b - 1)] = j;
    }
    return table;
}

}  // namespace Jackets

namespace {

// The middle value of a non-empty v (the upper of the two middle ones of an
// even count); v is reordered.
template <typename T>
T Middle_Value(std::vector<T>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

constexpr int Fg_Threshold = 60;       // sum of channel differences from the band without dogs
constexpr int Colour_Threshold = 110;  // sum of channel differences from a jacket colour
// How much darker or brighter than the table a jacket may be filmed.
constexpr float Darkest_Shade = 0.6f, Brightest_Shade = 1.4f;
constexpr int Shade_Penalty = 50;
constexpr int Black_Threshold = 75;
// Stripes run across the whole jacket: a plain jacket's number changes colour
// down only some of its columns.
constexpr int Striped_Share_Tenths = 6;
// A pixel this near the mixture of a striped jacket's two colours is the edge
// between two of its stripes.
constexpr int Stripe_Edge_Threshold = 30;
constexpr size_t Light_Every = 7;
// The light is judged on strips of this many rows, where this many pixels show the ground.
constexpr int Light_Strip_Rows = 48;
constexpr int Light_Least_Judged = 60;
// A jacket is at most this many times as long as it is high.
constexpr int Longest_Jacket = 8;

// A dog's head reaches this far ahead of its jacket, in jacket heights; one
// field's nose may differ from the usual by the larger of these.
constexpr double Shortest_Head = 0.6, Longest_Head = 3.2;
constexpr double Lead_Tolerance = 0.2, Lead_Tolerance_Px = 5;
// A nose on its dog's track lies within this of it; the track is taken (over
// Track_Reach_Ms either side of the crossing) from this many noses at the least.
constexpr double Track_Tolerance_Px = 1.6;
constexpr int Track_Least = 5;
constexpr double Track_Gap_Ms = 60;
// A picture places an edge no finer than this (px), and noses spread more
// than this about their track are not followed.
constexpr double Finest_Nose_Px = 0.15;
constexpr double Steady_Spread_Px = 1.2;
// The rows of a nose's tip end within this of the furthest (px).
constexpr double Tip_Rows_Px = 0.6;
// A crossing nearer a field's time than this, or than this many of its
// standard deviations, leaves that field in doubt.
constexpr double Line_Margin_Ms = 0.15;
constexpr double Line_Margin_Sd = 1.5;

struct Rgb {
    int r, g, b;
};
Rgb Of(uint32_t c) {
    return {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF)};
}

// The band of one field in running coordinates: u grows in the running
// direction, v down the picture.
struct Band_View {
    int U = 0, V = 0;
    std::vector<int8_t> cls;  // -1 background, 0 a dog but no jacket colour, k+1 palette colour k
    int at(int u, int v) const { return v * U + u; }
};

}  // namespace

Crossing_Detector::Crossing_Detector(const Goal_Line_Points& line, const Jackets::Table& jackets, Settings settings)
    : m_Line(line), m_Jackets(jackets), m_Settings(settings) {
    m_Settings.Boxes = std::clamp(m_Settings.Boxes, 1, Jackets::Boxes);
    m_Settings.Direction = m_Settings.Direction < 0 ? -1 : 1;
    // A dog is about a third of the track's width long, seen from the side.
    const double length = std::max(16.0, std::hypot(line.P2.X - line.P1.X, line.P2.Y - line.P1.Y));
    if (m_Settings.Behind <= 0) m_Settings.Behind = static_cast<int32_t>(std::lround(0.31 * length));
    if (m_Settings.Ahead <= 0)
        m_Settings.Ahead = std::max<int32_t>(8, static_cast<int32_t>(std::lround(0.08 * length)));
    if (m_Settings.Min_Jacket <= 0)
        m_Settings.Min_Jacket =
            std::max<int32_t>(12, static_cast<int32_t>(std::lround(250.0 * std::pow(length / 704.0, 2))));
}

double Crossing_Detector::Past_By(const Nose_Mark& nose) const {
    return (nose.X - Finish_Strip_Builder::Line_X(m_Line, nose.Y)) * m_Settings.Direction;
}

namespace {

// Copies the band's pixels out of a field (top-down RGB, in picture columns).
bool Copy_Band(const Field_Picture& f, const QRect& band, std::vector<uint8_t>& out) {
    if (!f.Bits || band.isEmpty() || band.right() >= f.Width || band.bottom() >= f.Height) return false;
    out.resize(static_cast<size_t>(band.width()) * band.height() * 3);
    size_t o = 0;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        const uint8_t* row = f.Bits + static_cast<int64_t>(f.Height - 1 - y) * f.Stride + band.left() * 3;
        for (int x = 0; x < band.width(); ++x) {
            out[o++] = row[x * 3 + 2];
            out[o++] = row[x * 3 + 1];
            out[o++] = row[x * 3];
        }
    }
    return true;
}

}  // namespace

void Crossing_Detector::Learn(const Field_Picture& field) {
    if (m_Band.isEmpty()) {
        m_Width = field.Width;
        m_Height = field.Height;
        const int top = std::clamp(std::min(m_Line.P1.Y, m_Line.P2.Y), 0, field.Height - 1);
        const int bottom = std::clamp(std::max(m_Line.P1.Y, m_Line.P2.Y), 0, field.Height - 1);
        const int x_min = std::min(m_Line.P1.X, m_Line.P2.X), x_max = std::max(m_Line.P1.X, m_Line.P2.X);
        const int left = m_Settings.Direction > 0 ? x_min - m_Settings.Behind : x_min - m_Settings.Ahead;
        const int right = m_Settings.Direction > 0 ? x_max + m_Settings.Ahead : x_max + m_Settings.Behind;
        const QRect band =
            QRect(QPoint(left, top), QPoint(right, bottom)).intersected(QRect(0, 0, field.Width, field.Height));
        if (band.width() < 8 || band.height() < 8) return;
        m_Band = band;
    }
    if (field.Width != m_Width || field.Height != m_Height) return;
    std::vector<uint8_t> px;
    if (Copy_Band(field, m_Band, px)) m_Samples[static_cast<size_t>(Kind_Of(field))].push_back(std::move(px));
}

namespace {

// How much brighter a band's pixels are than the band without dogs (judged on
// every Light_Every-th pixel from byte begin to end): the ratio most of the
// ground shows (the dogs, darker or brighter than the ground, would pull a
// plain median their way). judged: how many pixels showed the ground.
float Light_Ratio(const std::vector<uint8_t>& px, const std::vector<uint8_t>& ground, size_t begin = 0,
                  size_t end = SIZE_MAX, int* judged = nullptr) {
    constexpr float Lowest = 0.4f, Highest = 2.5f, Bin = 0.005f;
    constexpr int Bins = static_cast<int>((Highest - Lowest) / Bin) + 1;
    std::vector<int> histogram(Bins, 0);
    std::vector<float> ratios;
    end = std::min({end, px.size(), ground.size()});
    ratios.reserve((end - std::min(begin, end)) / (3 * Light_Every) + 1);
    for (size_t i = begin; i + 2 < end; i += 3 * Light_Every) {
        const int lb = ground[i] + ground[i + 1] + ground[i + 2];
        if (lb <= 60) continue;
        const float r = static_cast<float>(px[i] + px[i + 1] + px[i + 2]) / static_cast<float>(lb);
        if (r < Lowest || r > Highest) continue;
        ratios.push_back(r);
        ++histogram[static_cast<size_t>((r - Lowest) / Bin)];
    }
    // The densest stretch of ratios, then the mean of those near it.
    int best = -1, best_count = 0, run = 0;
    constexpr int Width = 8;
    for (int k = 0; k < Bins; ++k) {
        run += histogram[static_cast<size_t>(k)] - (k >= Width ? histogram[static_cast<size_t>(k - Width)] : 0);
        if (run > best_count) best_count = run, best = k;
    }
    if (judged) *judged = 0;
    if (best < 0) return 1;
    const float mode = Lowest + (best - Width / 2.0f + 0.5f) * Bin;
    double sum = 0;
    int n = 0;
    for (const float r : ratios)
        if (std::abs(r - mode) <= 0.04f) sum += r, ++n;
    if (judged) *judged = n;
    return n > 0 ? static_cast<float>(sum / n) : 1;
}

// The light may have changed, and not everywhere alike (a cloud's shadow on
// the track, not on the stands): a gain for each strip of rows of a band W
// pixels wide that shows enough ground, else the whole band's.
std::vector<float> Strip_Gains(const std::vector<uint8_t>& px, const std::vector<uint8_t>& ground, int W) {
    const size_t row = static_cast<size_t>(W) * 3;
    const int H = static_cast<int>(px.size() / std::max<size_t>(1, row));
    std::vector<float> gains(static_cast<size_t>((H + Light_Strip_Rows - 1) / Light_Strip_Rows));
    std::optional<float> whole;  // judged only where a strip is not
    for (size_t k = 0; k < gains.size(); ++k) {
        int judged = 0;
        gains[k] = Light_Ratio(px, ground, k * Light_Strip_Rows * row,
                               std::min<size_t>(H, (k + 1) * Light_Strip_Rows) * row, &judged);
        if (judged >= Light_Least_Judged) continue;
        if (!whole) whole = Light_Ratio(px, ground);
        gains[k] = *whole;
    }
    return gains;
}

}  // namespace

void Crossing_Detector::Settle() {
    for (size_t k = 0; k < Kinds; ++k) {
        std::vector<std::vector<uint8_t>>& samples = m_Samples[k];
        if (samples.empty()) continue;
        std::vector<uint8_t>& background = m_Background[k];
        const size_t n = samples.front().size();
        background.assign(n, 0);
        // Per value, the middle of the samples' once each is brought to one
        // light (divided by its strip's gain, in sixteenths).
        const size_t row = static_cast<size_t>(m_Band.width()) * 3;
        const auto median = [&](const std::vector<std::vector<float>>& gains) {
            std::vector<uint16_t> v(samples.size());
            std::vector<int32_t> scale(samples.size());
            size_t strip = SIZE_MAX;
            for (size_t i = 0; i < n; i += 3) {
                if (i / row / Light_Strip_Rows != strip) {
                    strip = i / row / Light_Strip_Rows;
                    for (size_t s = 0; s < samples.size(); ++s)
                        scale[s] = static_cast<int32_t>(std::lround(16 * 256 / gains[s][strip]));
                }
                for (size_t c = i; c < i + 3 && c < n; ++c) {
                    for (size_t s = 0; s < samples.size(); ++s)
                        v[s] = static_cast<uint16_t>(std::min<int32_t>(65535, (samples[s][c] * scale[s] + 128) >> 8));
                    background[c] = static_cast<uint8_t>(std::min<int32_t>(255, (Middle_Value(v) + 8) / 16));
                }
            }
        };
        // The fields learnt from may be lit differently (a cloud over the sun):
        // each is brought to the light of the first (a median of fields in
        // two lights would take each pixel from either).
        std::vector<std::vector<float>> gains;
        for (size_t s = 0; s < samples.size(); ++s)
            gains.push_back(Strip_Gains(samples[s], samples.front(), m_Band.width()));
        median(gains);
        samples.clear();
        samples.shrink_to_fit();
        m_Ready = true;
    }
}

int Crossing_Detector::Kind_Of(const Field_Picture& field) { return std::clamp(field.Kind, 0, Kinds - 1); }

const std::vector<uint8_t>& Crossing_Detector::Background(int kind) const {
    // A kind none was learnt from is shown the nearest there is.
    for (const int k : {kind, 0, 1, 2})
        if (!m_Background[static_cast<size_t>(k)].empty()) return m_Background[static_cast<size_t>(k)];
    return m_Background[0];
}

Field_Finding Crossing_Detector::Examine(const Field_Picture& field) const {
    Field_Finding finding;
    finding.Position = field.Position;
    finding.Time = field.Time;
    if (!m_Ready || field.Width != m_Width || field.Height != m_Height) return finding;
    std::vector<uint8_t> px;
    if (!Copy_Band(field, m_Band, px)) return finding;
    const int dir = m_Settings.Direction;
    const int W = m_Band.width(), H = m_Band.height();
    const std::vector<uint8_t>& background = Background(Kind_Of(field));

    // The lighting may have changed since the band was learnt.
    const std::vector<float> strip_gain = Strip_Gains(px, background, W);
    // The band without dogs in each strip's light; a pixel brighter than the
    // sensor shows stays at its brightest (a white line in sunshine).
    std::vector<std::array<int, 256>> lit(strip_gain.size());
    for (size_t k = 0; k < lit.size(); ++k)
        for (int v = 0; v < 256; ++v)
            lit[k][static_cast<size_t>(v)] = std::min(255, static_cast<int>(v * strip_gain[k]));

    // The palette: each distinct jacket colour of the boxes raced.
    std::vector<uint32_t> palette;
    const auto add = [&](uint32_t c) {
        if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
    };
    for (int b = 0; b < m_Settings.Boxes; ++b) {
        add(m_Jackets[static_cast<size_t>(b)].Colour);
        if (m_Jackets[static_cast<size_t>(b)].Stripe) add(*m_Jackets[static_cast<size_t>(b)].Stripe);
    }
    const auto palette_index = [&](uint32_t c) {
        return static_cast<int>(std::find(palette.begin(), palette.end(), c) - palette.begin());
    };

    Band_View b;
    b.U = W;  // px stays in picture columns; b in running ones
    b.V = H;
    b.cls.assign(static_cast<size_t>(W) * H, -1);
    std::vector<uint8_t> mix(static_cast<size_t>(W) * H, 0);  // per striped box (bit box - 1)
    for (int v = 0; v < H; ++v) {
        const std::array<int, 256>& lit_row = lit[static_cast<size_t>(v / Light_Strip_Rows)];
        const float inv = 1.0f / strip_gain[static_cast<size_t>(v / Light_Strip_Rows)];
        for (int u = 0; u < W; ++u) {
            const int x = dir > 0 ? u : W - 1 - u;
            const size_t s = (static_cast<size_t>(v) * W + x) * 3;
            const int r = px[s], g = px[s + 1], bl = px[s + 2];
            const int d = std::abs(r - lit_row[background[s]]) + std::abs(g - lit_row[background[s + 1]]) +
                          std::abs(bl - lit_row[background[s + 2]]);
            if (d <= Fg_Threshold) continue;
            const int i = b.at(u, v);
            int best = -1, best_d = Colour_Threshold + 1;
            const int rr = static_cast<int>(static_cast<float>(r) * inv),
                      gg = static_cast<int>(static_cast<float>(g) * inv),
                      bb = static_cast<int>(static_cast<float>(bl) * inv);
            for (size_t k = 0; k < palette.size(); ++k) {
                const Rgb c = Of(palette[k]);
                int dk = std::abs(rr - c.r) + std::abs(gg - c.g) + std::abs(bb - c.b);
                // The camera's exposure and the cloth's own shade are not the
                // table's: a colour is also matched at another brightness, but
                // more closely (a brown coat is a dark orange or red otherwise).
                // Black has no brightness to scale.
                const int cc = c.r * c.r + c.g * c.g + c.b * c.b;
                if (c.r + c.g + c.b < 120) {
                    // A dark coat in dim light is nearly black: black is matched closely.
                    dk += Colour_Threshold - Black_Threshold;
                } else {
                    const float a = std::clamp(static_cast<float>(rr * c.r + gg * c.g + bb * c.b) / cc, Darkest_Shade,
                                               Brightest_Shade);
                    dk = std::min(dk, Shade_Penalty + static_cast<int>(std::abs(rr - a * c.r) + std::abs(gg - a * c.g) +
                                                                       std::abs(bb - a * c.b)));
                }
                if (dk < best_d) {
                    best_d = dk;
                    best = static_cast<int>(k);
                }
            }
            b.cls[static_cast<size_t>(i)] = static_cast<int8_t>(best + 1);
            if (best >= 0) continue;
            // Between a striped jacket's two colours (a blurred edge of a
            // stripe): part of that jacket, or its stripes fall apart.
            for (int box = 1; box <= m_Settings.Boxes; ++box) {
                const Jacket& j = m_Jackets[static_cast<size_t>(box - 1)];
                if (!j.Stripe) continue;
                const Rgb a = Of(j.Colour), c = Of(*j.Stripe);
                const float ab[3] = {static_cast<float>(c.r - a.r), static_cast<float>(c.g - a.g),
                                     static_cast<float>(c.b - a.b)};
                const float ap[3] = {static_cast<float>(rr - a.r), static_cast<float>(gg - a.g),
                                     static_cast<float>(bb - a.b)};
                const float len = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
                if (len <= 0) continue;
                const float t = std::clamp((ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) / len, 0.0f, 1.0f);
                if (std::abs(ap[0] - t * ab[0]) + std::abs(ap[1] - t * ab[1]) + std::abs(ap[2] - t * ab[2]) <=
                    Stripe_Edge_Threshold)
                    mix[static_cast<size_t>(i)] |= static_cast<uint8_t>(1u << (box - 1));
            }
        }
    }

    // Silhouettes: every dog pixel joined to its neighbours.
    std::vector<int32_t> sil(static_cast<size_t>(W) * H, -1);
    std::vector<QRect> sil_bounds;
    std::vector<int> stack;
    for (int i = 0; i < W * H; ++i) {
        if (b.cls[static_cast<size_t>(i)] < 0 || sil[static_cast<size_t>(i)] >= 0) continue;
        const int id = static_cast<int>(sil_bounds.size());
        int u0 = W, u1 = -1, v0 = H, v1 = -1;
        stack.assign(1, i);
        sil[static_cast<size_t>(i)] = id;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            const int u = p % W, v = p / W;
            u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
            const int n[4] = {u > 0 ? p - 1 : -1, u + 1 < W ? p + 1 : -1, v > 0 ? p - W : -1, v + 1 < H ? p + W : -1};
            for (const int q : n)
                if (q >= 0 && b.cls[static_cast<size_t>(q)] >= 0 && sil[static_cast<size_t>(q)] < 0) {
                    sil[static_cast<size_t>(q)] = id;
                    stack.push_back(q);
                }
        }
        sil_bounds.emplace_back(QPoint(u0, v0), QPoint(u1, v1));
    }

    // Jackets: joined pixels of one colour, or of a striped jacket's two.
    struct Blob {
        std::vector<int> pixels;
        QRect bounds;
        int16_t box = 0;
        std::string why;
    };
    std::vector<Blob> blobs;
    std::vector<int32_t> blob_of(static_cast<size_t>(W) * H, -1);
    const auto grow = [&](int seed, auto accept) {
        Blob bl;
        stack.assign(1, seed);
        blob_of[static_cast<size_t>(seed)] = static_cast<int32_t>(blobs.size());
        int u0 = W, u1 = -1, v0 = H, v1 = -1;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            bl.pixels.push_back(p);
            const int u = p % W, v = p / W;
            u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
            const int n[4] = {u > 0 ? p - 1 : -1, u + 1 < W ? p + 1 : -1, v > 0 ? p - W : -1, v + 1 < H ? p + W : -1};
            for (const int q : n)
                if (q >= 0 && blob_of[static_cast<size_t>(q)] < 0 && accept(q)) {
                    blob_of[static_cast<size_t>(q)] = static_cast<int32_t>(blobs.size());
                    stack.push_back(q);
                }
        }
        bl.bounds = QRect(QPoint(u0, v0), QPoint(u1, v1));
        blobs.push_back(std::move(bl));
    };
    const auto release = [&](const Blob& bl) {
        for (const int p : bl.pixels) blob_of[static_cast<size_t>(p)] = -1;
    };
    // Striped jackets first: a blob of both colours that changes colour at
    // least twice down most of its columns is that jacket.
    for (int box = 1; box <= m_Settings.Boxes; ++box) {
        const Jacket& j = m_Jackets[static_cast<size_t>(box - 1)];
        if (!j.Stripe) continue;
        const int8_t a = static_cast<int8_t>(palette_index(j.Colour) + 1),
                     c = static_cast<int8_t>(palette_index(*j.Stripe) + 1);
        std::vector<uint8_t> tried(static_cast<size_t>(W) * H, 0);  // each pixel grown from once
        for (int i = 0; i < W * H; ++i) {
            const int8_t k = b.cls[static_cast<size_t>(i)];
            if ((k != a && k != c) || blob_of[static_cast<size_t>(i)] >= 0 || tried[static_cast<size_t>(i)]) continue;
            const uint8_t bit = static_cast<uint8_t>(1u << (box - 1));
            grow(i, [&](int q) {
                const int8_t kq = b.cls[static_cast<size_t>(q)];
                return kq == a || kq == c || (kq == 0 && (mix[static_cast<size_t>(q)] & bit));
            });
            for (const int q : blobs.back().pixels) tried[static_cast<size_t>(q)] = 1;
            Blob& bl = blobs.back();
            int striped_columns = 0, columns = 0;
            for (int u = bl.bounds.left(); u <= bl.bounds.right(); ++u) {
                int changes = 0, last = 0;
                for (int v = bl.bounds.top(); v <= bl.bounds.bottom(); ++v) {
                    const int p = b.at(u, v);
                    if (blob_of[static_cast<size_t>(p)] != static_cast<int32_t>(blobs.size() - 1)) continue;
                    const int k2 = b.cls[static_cast<size_t>(p)];
                    if (k2 == 0) continue;  // an edge between two stripes
                    if (last != 0 && k2 != last) ++changes;
                    last = k2;
                }
                if (last != 0) ++columns;
                if (changes >= 2) ++striped_columns;
            }
            if (static_cast<int>(bl.pixels.size()) >= m_Settings.Min_Jacket && columns > 0 &&
                striped_columns * 10 >= columns * Striped_Share_Tenths) {
                bl.box = static_cast<int16_t>(box);
            } else {
                release(bl);
                blobs.pop_back();
            }
        }
    }
    // Then plain colours.
    for (int i = 0; i < W * H; ++i) {
        const int8_t k = b.cls[static_cast<size_t>(i)];
        if (k <= 0 || blob_of[static_cast<size_t>(i)] >= 0) continue;
        grow(i, [&](int q) { return b.cls[static_cast<size_t>(q)] == k; });
        Blob& bl = blobs.back();
        const uint32_t colour = palette[static_cast<size_t>(k - 1)];
        for (int box = 1; box <= m_Settings.Boxes; ++box) {
            const Jacket& j = m_Jackets[static_cast<size_t>(box - 1)];
            if (!j.Stripe && j.Colour == colour) bl.box = static_cast<int16_t>(box);
        }
        if (bl.box == 0) bl.why = "a stripe's colour, not striped";
    }

    const auto to_picture = [&](const QRect& r) {
        const int x0 = dir > 0 ? m_Band.left() + r.left() : m_Band.left() + (W - 1 - r.right());
        return QRect(x0, m_Band.top() + r.top(), r.width(), r.height());
    };
    const auto u_to_x = [&](double u) { return dir > 0 ? m_Band.left() + u : m_Band.left() + (W - u); };

    for (size_t n = 0; n < blobs.size(); ++n) {
        const Blob& bl = blobs[n];
        const int area = static_cast<int>(bl.pixels.size());
        if (area < m_Settings.Min_Jacket / 4) continue;  // specks: not worth showing
        Candidate c;
        c.Box = bl.box;
        c.Jacket = to_picture(bl.bounds);
        c.Pixels = area;
        const int s = sil[static_cast<size_t>(bl.pixels.front())];
        c.Outline = to_picture(sil_bounds[static_cast<size_t>(s)]);
        if (bl.box == 0) {
            c.Why = bl.why;
            finding.Candidates.push_back(c);
            continue;
        }
        if (area < m_Settings.Min_Jacket) {
            c.Why = "too small for a jacket";
            finding.Candidates.push_back(c);
            continue;
        }
        // A painted line or an edge the light moved along, not a jacket seen from the side.
        if (bl.bounds.height() < 3 || bl.bounds.height() * Longest_Jacket < bl.bounds.width()) {
            c.Why = "too thin for a jacket";
            finding.Candidates.push_back(c);
            continue;
        }
        // The nose: follow the silhouette forward from the jacket's leading
        // edge (neck, head, snout) until nothing of the dog is ahead. The
        // snout's tip lies level with the jacket's top; what the way forward
        // reaches above or below that (another dog's legs, an ear) is not it.
        const QRect& J = bl.bounds;
        const int h = J.height();
        const int v_min = std::max(0, J.top() - h * 3 / 2), v_max = std::min(H - 1, J.top() + h * 2 / 5);
        int lo = std::max(v_min, J.top() - h / 5), hi = std::min(v_max, J.top() + h * 2 / 5);
        const int snout_lo = std::max(0, J.top() - h / 4), snout_hi = std::min(H - 1, J.top() + h / 4);
        std::vector<int> reach(static_cast<size_t>(snout_hi - snout_lo + 1), -1);
        bool started = false, reached_edge = false;
        for (int u = J.right(); u < W; ++u) {
            int new_lo = H, new_hi = -1;
            for (int v = std::max(v_min, lo - 2); v <= std::min(v_max, hi + 2); ++v)
                if (sil[static_cast<size_t>(b.at(u, v))] == s) {
                    new_lo = std::min(new_lo, v);
                    new_hi = std::max(new_hi, v);
                    if (v >= snout_lo && v <= snout_hi) reach[static_cast<size_t>(v - snout_lo)] = u;
                }
            if (new_hi < 0) break;
            started = true;
            lo = new_lo, hi = new_hi;
        }
        int nose_u = -1;
        for (const int r : reach) nose_u = std::max(nose_u, r);
        if (!started || nose_u < 0) {
            c.Why = "no head ahead of the jacket";
            finding.Candidates.push_back(c);
            continue;
        }
        reached_edge = nose_u >= W - 1;
        if (reached_edge) {
            c.Why = "nose beyond the band";
            c.Kept = true;
            finding.Candidates.push_back(c);
            continue;
        }
        int nose_lo = H, nose_hi = -1;
        for (size_t k = 0; k < reach.size(); ++k)
            if (reach[k] >= nose_u - 1) {
                nose_lo = std::min(nose_lo, snout_lo + static_cast<int>(k));
                nose_hi = std::max(nose_hi, snout_lo + static_cast<int>(k));
            }
        // The tip's row: the middle of the last column's rows.
        const int v_n = (nose_lo + nose_hi) / 2;
        // Where the tip covers half a pixel marks the edge, so a tip blurred
        // over the exposure is placed where the sharp one was at the field's
        // time, whatever ground (sand, painted line) lies behind it.
        const auto pixel = [&](int k, int v, int ch) {
            return static_cast<double>(px[(static_cast<size_t>(v) * W + (dir > 0 ? k : W - 1 - k)) * 3 + ch]);
        };
        const auto ground = [&](int k, int v, int ch) {
            return static_cast<double>(lit[static_cast<size_t>(
                v / Light_Strip_Rows)][background[(static_cast<size_t>(v) * W + (dir > 0 ? k : W - 1 - k)) * 3 + ch]]);
        };
        // The head's own colour: the middle of its pixels well behind the tip.
        double head[3] = {0, 0, 0};
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<double> v;
            for (int k = std::max(0, nose_u - 44); k <= std::max(0, nose_u - 14); ++k)
                if (b.cls[static_cast<size_t>(b.at(k, v_n))] >= 0) v.push_back(pixel(k, v_n, ch));
            if (v.empty()) continue;
            head[ch] = Middle_Value(v);
        }
        const auto cover = [&](int k, int v) {
            if (k < 0 || k >= W) return 0.0;
            double num = 0, den = 0;
            for (int ch = 0; ch < 3; ++ch) {
                const double d = head[ch] - ground(k, v, ch);
                num += (pixel(k, v, ch) - ground(k, v, ch)) * d;
                den += d * d;
            }
            return den > 900 ? num / den : (b.cls[static_cast<size_t>(b.at(k, v))] >= 0 ? 1.0 : 0.0);
        };
        // Each row of the tip gives an edge; their median gives the nose (the
        // noise of one row is spread out, and no row is picked for reaching
        // furthest, which would pull the nose forward).
        std::vector<double> edges;
        for (int v = nose_lo; v <= nose_hi; ++v)
            for (int k = nose_u + 1; k >= std::max(0, nose_u - 48); --k)
                if (cover(k, v) >= 0.5) {
                    const double c0 = cover(k, v), c1 = cover(k + 1, v);
                    edges.push_back(k + 0.5 + (c0 > c1 ? (c0 - 0.5) / (c0 - c1) : 0.5));
                    break;
                }
        double edge = nose_u + 1.0;
        if (!edges.empty()) {
            // Only the rows of the very tip: a row a pixel short of it is the
            // snout's slope, which blur lets into the tip's columns.
            std::sort(edges.begin(), edges.end());
            const auto tip = std::lower_bound(edges.begin(), edges.end(), edges.back() - Tip_Rows_Px);
            const std::vector<double> rows(tip, edges.end());
            const size_t m = rows.size() / 2;
            edge = rows.size() % 2 ? rows[m] : (rows[m - 1] + rows[m]) / 2;
        }
        c.Nose = Nose_Mark{field.Time, u_to_x(edge), static_cast<double>(m_Band.top() + v_n)};
        // Another jacket right behind the tip: the edge may be that dog's.
        for (int dv = -3; dv <= 3 && !c.Occluded; ++dv)
            for (int du = -6; du <= 0; ++du) {
                const int uu = nose_u + du, vv = v_n + dv;
                if (uu < 0 || vv < 0 || vv >= H) continue;
                const int o = blob_of[static_cast<size_t>(b.at(uu, vv))];
                if (o >= 0 && o != static_cast<int>(n) && blobs[static_cast<size_t>(o)].box != 0 &&
                    static_cast<int>(blobs[static_cast<size_t>(o)].pixels.size()) >= m_Settings.Min_Jacket / 2) {
                    c.Occluded = true;
                    break;
                }
            }
        c.Kept = true;
        if (c.Occluded) c.Why = "another dog's jacket at its nose";
        finding.Candidates.push_back(c);
    }
    // Two large jackets of one box: neither can be told to be that dog. But
    // a stripe of a striped jacket coming into the band, cut off at its edge,
    // passes for a plain jacket: one so cut and far lower than the other is that.
    const int back = dir > 0 ? m_Band.left() : m_Band.right();
    const auto cut_off = [&](const Candidate& c) { return (dir > 0 ? c.Jacket.left() : c.Jacket.right()) == back; };
    for (int box = 1; box <= m_Settings.Boxes; ++box) {
        std::vector<Candidate*> kept;
        for (Candidate& c : finding.Candidates)
            if (c.Box == box && c.Kept) kept.push_back(&c);
        if (kept.size() == 2)
            for (int k = 0; k < 2; ++k) {
                Candidate& cut = *kept[static_cast<size_t>(k)];
                const Candidate& whole = *kept[static_cast<size_t>(1 - k)];
                if (cut_off(cut) && !cut_off(whole) && cut.Jacket.height() * 2 < whole.Jacket.height()) {
                    cut.Kept = false;
                    cut.Why = "a stripe cut off by the band's edge";
                    kept.erase(kept.begin() + k);
                    break;
                }
            }
        if (kept.size() < 2) continue;
        for (Candidate& c : finding.Candidates)
            if (c.Box == box && c.Kept) {
                c.Kept = false;
                c.Why = "two jackets of this colour";
            }
    }
    return finding;
}

namespace {

// A nose seen in one field: its time, its distance past the line in the
// running direction (px), its row.
struct Track_Point {
    double t = 0;
    double d = 0;
    double y = 0;
};

// The straight track d = a + v (t - t0) through points (least squares), with
// the spread of the points about it.
struct Track_Fit {
    double t0 = 0, a = 0, v = 0;
    double spread = 0;  // residual standard deviation (px)
    double stt = 0;     // sum of squared time offsets
    int n = 0;
    double Crossing() const { return t0 - a / v; }
    double At(double t) const { return a + v * (t - t0); }
};

Track_Fit Fit_Track(const std::vector<Track_Point>& pts) {
    Track_Fit f;
    f.n = static_cast<int>(pts.size());
    if (pts.size() < 2) return f;
    double st = 0, sd = 0;
    for (const Track_Point& p : pts) st += p.t, sd += p.d;
    f.t0 = st / f.n;
    const double md = sd / f.n;
    double std_ = 0;
    for (const Track_Point& p : pts) f.stt += (p.t - f.t0) * (p.t - f.t0), std_ += (p.t - f.t0) * (p.d - md);
    f.v = f.stt > 0 ? std_ / f.stt : 0;
    f.a = md;
    double sq = 0;
    for (const Track_Point& p : pts) sq += std::pow(p.d - f.At(p.t), 2);
    f.spread = f.n > 2 ? std::sqrt(sq / (f.n - 2)) : 0;
    return f;
}

// The points of one dog on one straight track: the line through two of them
// that most others lie near (a nose taken from another dog for a few fields
// lies off it), then the least squares through those near it.
std::vector<Track_Point> Consensus(const std::vector<Track_Point>& pts, double tolerance) {
    std::vector<Track_Point> best;
    double best_sq = 0;
    for (size_t i = 0; i < pts.size(); ++i)
        for (size_t j = i + 2; j < pts.size(); ++j) {
            const double dt = pts[j].t - pts[i].t;
            if (dt <= 0) continue;
            const double v = (pts[j].d - pts[i].d) / dt;
            if (v <= 0) continue;  // running the wrong way
            size_t n = 0;
            double sq = 0;
            for (const Track_Point& p : pts) {
                const double r = p.d - (pts[i].d + v * (p.t - pts[i].t));
                if (std::abs(r) <= tolerance) ++n, sq += r * r;
            }
            if (n > best.size() || (n == best.size() && sq < best_sq)) {
                best.clear();
                for (const Track_Point& p : pts)
                    if (std::abs(p.d - (pts[i].d + v * (p.t - pts[i].t))) <= tolerance) best.push_back(p);
                best_sq = sq;
            }
        }
    return best;
}

}  // namespace

std::vector<Box_Proposal> Crossing_Detector::Propose(const std::vector<Field_Finding>& findings) const {
    std::vector<Box_Proposal> out;
    const double dir = m_Settings.Direction;
    for (int box = 1; box <= m_Settings.Boxes; ++box) {
        Box_Proposal p;
        p.Box = static_cast<int16_t>(box);
        struct Seen {
            int32_t position = 0;
            int32_t time = 0;
            const Candidate* kept = nullptr;
            std::string doubt;
        };
        std::vector<Seen> seen;
        for (const Field_Finding& f : findings) {
            // Before the start the dogs are not racing: nothing there is a finish.
            if (f.Time <= 0) continue;
            Seen s;
            s.position = f.Position;
            s.time = f.Time;
            for (const Candidate& c : f.Candidates)
                if (c.Box == box) {
                    if (c.Kept)
                        s.kept = &c;
                    else if (c.Why == "two jackets of this colour")
                        s.doubt = "two dogs in this box's jacket colour";
                }
            if (s.kept && s.kept->Occluded) s.doubt = "hidden by another dog at the line";
            if (!s.kept && s.doubt.empty()) s.doubt = "jacket not seen";
            seen.push_back(s);
        }
        // The noses to follow: the dog's own, where its head lies as far
        // ahead of its jacket as in most fields (a nose followed into the
        // dog ahead lies further).
        std::vector<Track_Point> pts;
        std::vector<double> leads;
        const auto lead_of = [&](const Candidate& c) {
            const double front = dir > 0 ? c.Jacket.right() + 1.0 : c.Jacket.left();
            return (c.Nose->X - front) * dir / std::max(1, c.Jacket.height());
        };
        for (const Seen& s : seen)
            if (s.kept && s.kept->Nose && s.doubt.empty()) {
                const double lead = lead_of(*s.kept);
                if (lead >= Shortest_Head && lead <= Longest_Head) leads.push_back(lead);
            }
        const double usual_lead = leads.empty() ? 0 : Middle_Value(leads);
        for (const Seen& s : seen)
            if (s.kept && s.kept->Nose && s.doubt.empty() &&
                std::abs(lead_of(*s.kept) - usual_lead) * s.kept->Jacket.height() <=
                    std::max(Lead_Tolerance_Px, Lead_Tolerance * s.kept->Jacket.height())) {
                const Nose_Mark& n = *s.kept->Nose;
                pts.push_back({static_cast<double>(s.time), Past_By(n), n.Y});
            }

        // The usual time from one field to the next: a longer one is a gap
        // between two capture windows.
        std::vector<int32_t> steps;
        for (size_t i = 1; i < seen.size(); ++i)
            if (seen[i].position == seen[i - 1].position + 1) steps.push_back(seen[i].time - seen[i - 1].time);
        const int32_t usual = steps.empty() ? 0 : Middle_Value(steps);
        const auto gap = [&](const Seen& a, const Seen& b) {
            return a.position + 1 != b.position || (usual > 0 && b.time - a.time > usual * 3 / 2 + 1);
        };
        // Why nothing can be proposed, from the fields themselves.
        const auto field_doubt = [&]() -> std::string {
            bool any = false;
            std::string doubt = "jacket not seen";
            for (const Seen& s : seen) {
                any = any || (s.kept && s.doubt.empty());
                if (s.doubt != "jacket not seen" && !s.doubt.empty()) doubt = s.doubt;
            }
            if (!any) return doubt;
            size_t first = seen.size();
            for (size_t i = 0; i < seen.size() && first == seen.size(); ++i)
                if (seen[i].kept && seen[i].kept->Nose && seen[i].doubt.empty() && Past_By(*seen[i].kept->Nose) > 0)
                    first = i;
            if (first == seen.size()) {
                // Lost on the way to the line: what the field after the last nose says.
                size_t last = seen.size();
                for (size_t i = 0; i < seen.size(); ++i)
                    if (seen[i].kept && seen[i].kept->Nose && seen[i].doubt.empty()) last = i;
                if (last + 1 < seen.size() && !seen[last + 1].doubt.empty()) return seen[last + 1].doubt;
                return "nose never seen past the line";
            }
            if (first == 0) return "already past the line in the first field";
            if (gap(seen[first - 1], seen[first])) return "a field is missing before the crossing";
            return !seen[first - 1].doubt.empty() ? seen[first - 1].doubt
                   : !seen[first].doubt.empty()   ? seen[first].doubt
                                                  : "nose not followed steadily";
        };

        // The track: the consensus of the noses, then only those within reach
        // of the crossing (a real dog's pace changes over a longer way).
        std::vector<Track_Point> track = Consensus(pts, Track_Tolerance_Px);
        Track_Fit fit = Fit_Track(track);
        if (fit.n >= 3 && fit.v > 0) {
            const double c = fit.Crossing();
            std::vector<Track_Point> near;
            for (const Track_Point& q : pts)
                if (std::abs(q.t - c) <= Track_Reach_Ms && std::abs(q.d - fit.At(q.t)) <= Track_Tolerance_Px)
                    near.push_back(q);
            track = near;
            fit = Fit_Track(track);
        }
        // Noses on both sides of the line, the nearest of them close to it:
        // a crossing is placed between noses seen, never far beyond them.
        int before_line = 0, past_line = 0;
        double nearest_before = 1e9, nearest_past = 1e9;
        for (const Track_Point& q : track) {
            (q.d < 0 ? before_line : past_line) += 1;
            if (fit.v > 0) {
                const double from = q.t - fit.Crossing();
                if (q.d < 0)
                    nearest_before = std::min(nearest_before, -from);
                else
                    nearest_past = std::min(nearest_past, from);
            }
        }
        if (fit.n < Track_Least || fit.v <= 0 || before_line < 1 || past_line < 1 ||
            std::max(nearest_before, nearest_past) > Track_Gap_Ms) {
            p.Doubt = field_doubt();
            out.push_back(p);
            continue;
        }
        const double crossing = fit.Crossing();
        // The first field exposed after the crossing, and the one before it.
        size_t first = seen.size();
        for (size_t i = 0; i < seen.size() && first == seen.size(); ++i)
            if (seen[i].time >= crossing) first = i;
        if (first == seen.size()) {
            p.Doubt = "nose never seen past the line";
            out.push_back(p);
            continue;
        }
        if (first == 0) {
            p.Doubt = "already past the line in the first field";
            out.push_back(p);
            continue;
        }
        const Seen& after = seen[first];
        const Seen& before = seen[first - 1];
        if (gap(before, after)) {
            p.Doubt = "a field is missing before the crossing";
            out.push_back(p);
            continue;
        }
        // Which dog wears this jacket at the line cannot be told: the track
        // may be another's.
        if (before.doubt == "two dogs in this box's jacket colour" ||
            after.doubt == "two dogs in this box's jacket colour") {
            p.Doubt = "two dogs in this box's jacket colour";
            out.push_back(p);
            continue;
        }
        // How well the track places the crossing: the spread of the noses
        // about it (never taken as finer than a picture can show), less
        // where many fields agree.
        const double spread = std::max(fit.spread, Finest_Nose_Px);
        const double sd_px = spread * std::sqrt(1.0 / fit.n + (crossing - fit.t0) * (crossing - fit.t0) / fit.stt);
        const double sd_ms = sd_px / fit.v;
        const double margin = std::min(after.time - crossing, crossing - before.time);
        if (fit.spread > Steady_Spread_Px) {
            p.Doubt = "nose not followed steadily";
            out.push_back(p);
            continue;
        }
        if (margin < std::max(Line_Margin_Ms, Line_Margin_Sd * sd_ms)) {
            p.Doubt = "nose on the line in field " +
                      std::to_string(after.time - crossing < crossing - before.time ? after.position : before.position);
            out.push_back(p);
            continue;
        }
        // The marks an official would set: the nose on the track in the two fields.
        std::vector<double> rows;
        for (const Track_Point& q : track) rows.push_back(q.y);
        const double y = Middle_Value(rows);
        const auto mark = [&](int32_t t) {
            return Nose_Mark{t, Finish_Strip_Builder::Line_X(m_Line, y) + fit.At(t) * dir, y};
        };
        p.Before_Position = before.position;
        p.Before = mark(before.time);
        p.After = mark(after.time);
        p.Position = after.position;
        p.Field_Time = after.time;
        p.Estimate = Crossing_Estimate::Estimate(m_Line, p.Before, p.After);

        // How sure: the dog followed in the fields around the crossing, and
        // the crossing well clear of the fields' times for the track's spread.
        int around = 0, followed = 0;
        for (size_t i = first >= 4 ? first - 4 : 0; i < std::min(seen.size(), first + 4); ++i) {
            ++around;
            for (const Track_Point& q : track) followed += q.t == seen[i].time;
        }
        const double clear = 1.0 - 0.5 * std::erfc(margin / sd_ms / std::sqrt(2.0));
        p.Confidence = std::clamp((0.4 + 0.6 * followed / std::max(1, around)) * clear, 0.0, 1.0);
        if (p.Confidence < m_Settings.Sure) {
            p.Doubt = "nose not followed steadily";
        } else {
            p.Proposed = true;
        }
        out.push_back(p);
    }
    return out;
}
