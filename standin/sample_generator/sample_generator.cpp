// Draws Korvane's own sample icons and writes each sample collection as <id>.json in the icon
// library's reply shape. Run by the build; the stand-in serves the files it writes.
// Usage: korvane-sample-gen OUTPUT_DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "standin/sample_collections.h"

namespace {

using korvane::standin::samples::SampleCollection;
namespace samples = korvane::standin::samples;

constexpr double kPi = 3.14159265358979323846;

struct Point {
  double x, y;
};

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  std::string s = buf;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0)
    s.resize(s.size() - 2);
  if (s == "-0")
    s = "0";
  return s;
}

std::string Polygon(const std::vector<Point>& pts) {
  std::string d;
  for (size_t i = 0; i < pts.size(); ++i) {
    d += (i == 0 ? "M" : "L") + Num(pts[i].x) + " " + Num(pts[i].y);
  }
  return d + "Z";
}

std::vector<Point> Rotated(std::vector<Point> pts, double degrees) {
  const double a = degrees * kPi / 180, c = std::cos(a), s = std::sin(a);
  for (Point& p : pts) {
    const double x = p.x - 512, y = p.y - 512;
    p = {512 + x * c - y * s, 512 + x * s + y * c};
  }
  return pts;
}

std::string Rect(double x, double y, double w, double h) {
  return Polygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
}

std::string RoundRect(double x, double y, double w, double h, double r) {
  const std::string R = Num(r) + " " + Num(r) + " 0 0 1 ";
  return "M" + Num(x + r) + " " + Num(y) + "H" + Num(x + w - r) + "A" + R + Num(x + w) + " " +
         Num(y + r) + "V" + Num(y + h - r) + "A" + R + Num(x + w - r) + " " + Num(y + h) + "H" +
         Num(x + r) + "A" + R + Num(x) + " " + Num(y + h - r) + "V" + Num(y + r) + "A" + R +
         Num(x + r) + " " + Num(y) + "Z";
}

// clockwise false draws the circle the other way round, which cuts a hole out of a shape drawn
// clockwise under the default nonzero fill rule.
std::string Circle(double cx, double cy, double r, bool clockwise = true) {
  const std::string arc = "A" + Num(r) + " " + Num(r) + " 0 1 " + (clockwise ? "1 " : "0 ");
  return "M" + Num(cx - r) + " " + Num(cy) + arc + Num(cx + r) + " " + Num(cy) + arc + Num(cx - r) +
         " " + Num(cy) + "Z";
}

std::vector<Point> RegularPolygon(double cx, double cy, double r, int n, double startDeg) {
  std::vector<Point> pts;
  for (int i = 0; i < n; ++i) {
    const double a = (startDeg + 360.0 * i / n) * kPi / 180;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return pts;
}

std::vector<Point> Star(double cx, double cy, double outer, double inner, int n) {
  std::vector<Point> pts;
  for (int i = 0; i < 2 * n; ++i) {
    const double r = i % 2 ? inner : outer, a = (-90 + 180.0 * i / n) * kPi / 180;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return pts;
}

std::vector<Point> Gear(double cx, double cy, double outer, double inner, int teeth) {
  std::vector<Point> pts;
  for (int i = 0; i < teeth; ++i) {
    const double step = 360.0 / teeth, base = -90 + i * step;
    for (auto [deg, r] : std::vector<std::pair<double, double>>{{base - step * 0.3, inner},
                                                                {base - step * 0.18, outer},
                                                                {base + step * 0.18, outer},
                                                                {base + step * 0.3, inner}}) {
      pts.push_back({cx + r * std::cos(deg * kPi / 180), cy + r * std::sin(deg * kPi / 180)});
    }
  }
  return pts;
}

const std::vector<Point> kArrowUp = {{512, 112}, {862, 462}, {652, 462}, {652, 912},
                                     {372, 912}, {372, 462}, {162, 462}};
// A plus sign; turned by 45 degrees it is the cross.
const std::vector<Point> kPlus = {{432, 152}, {592, 152}, {592, 432}, {872, 432},
                                  {872, 592}, {592, 592}, {592, 872}, {432, 872},
                                  {432, 592}, {152, 592}, {152, 432}, {432, 432}};

struct Shape {
  std::string d, fill;
};
struct Icon {
  std::string name;
  std::vector<Shape> shapes;
};

std::vector<Icon> DefaultIcons() {
  const std::string blue = "#2f6fde", red = "#e2463c", green = "#2e9e5b", yellow = "#f4b400",
                    dark = "#33363d", orange = "#f08a24", purple = "#7b4fd6", grey = "#9aa0a6",
                    white = "#ffffff", brown = "#8d5a3b";
  std::vector<Icon> icons = {
      {"arrow up", {{Polygon(kArrowUp), blue}}},
      {"arrow right", {{Polygon(Rotated(kArrowUp, 90)), blue}}},
      {"arrow down", {{Polygon(Rotated(kArrowUp, 180)), blue}}},
      {"arrow left", {{Polygon(Rotated(kArrowUp, 270)), blue}}},
      {"double chevron",
       {{Polygon({{152, 212}, {292, 212}, {592, 512}, {292, 812}, {152, 812}, {452, 512}}), dark},
        {Polygon({{452, 212}, {592, 212}, {892, 512}, {592, 812}, {452, 812}, {752, 512}}),
         orange}}},
      {"square", {{Rect(192, 192, 640, 640), red}}},
      {"circle", {{Circle(512, 512, 360), green}}},
      {"triangle", {{Polygon(RegularPolygon(512, 572, 420, 3, -90)), yellow}}},
      {"diamond", {{Polygon({{512, 112}, {852, 512}, {512, 912}, {172, 512}}), purple}}},
      {"pentagon", {{Polygon(RegularPolygon(512, 540, 400, 5, -90)), orange}}},
      {"hexagon", {{Polygon(RegularPolygon(512, 512, 400, 6, 0)), blue}}},
      {"octagon", {{Polygon(RegularPolygon(512, 512, 400, 8, 22.5)), red}}},
      {"star", {{Polygon(Star(512, 540, 430, 180, 5)), yellow}}},
      {"ring", {{Circle(512, 512, 380) + Circle(512, 512, 240, false), purple}}},
      {"heart",
       {{"M512 872C300 720 132 580 132 400C132 260 236 172 352 172C424 172 480 208 512 268C544 "
         "208 600 172 672 172C788 172 892 260 892 400C892 580 724 720 512 872Z",
         red}}},
      {"plus", {{Polygon(kPlus), green}}},
      {"minus", {{Rect(152, 432, 720, 160), dark}}},
      {"cross", {{Polygon(Rotated(kPlus, 45)), red}}},
      {"check",
       {{Polygon({{132, 532}, {232, 432}, {412, 612}, {792, 232}, {892, 332}, {412, 812}}),
         green}}},
      {"letter K",
       {{Polygon({{212, 152},
                  {372, 152},
                  {372, 452},
                  {652, 152},
                  {852, 152},
                  {522, 502},
                  {872, 872},
                  {672, 872},
                  {372, 552},
                  {372, 872},
                  {212, 872}}),
         blue}}},
      {"letter V",
       {{Polygon(
             {{152, 152}, {322, 152}, {512, 692}, {702, 152}, {872, 152}, {602, 872}, {422, 872}}),
         orange}}},
      {"letter E",
       {{Polygon({{232, 152},
                  {812, 152},
                  {812, 292},
                  {392, 292},
                  {392, 442},
                  {752, 442},
                  {752, 582},
                  {392, 582},
                  {392, 732},
                  {812, 732},
                  {812, 872},
                  {232, 872}}),
         purple}}},
      {"letter H",
       {{Polygon({{192, 152},
                  {352, 152},
                  {352, 432},
                  {672, 432},
                  {672, 152},
                  {832, 152},
                  {832, 872},
                  {672, 872},
                  {672, 592},
                  {352, 592},
                  {352, 872},
                  {192, 872}}),
         green}}},
      {"letter L",
       {{Polygon({{252, 152}, {412, 152}, {412, 722}, {792, 722}, {792, 872}, {252, 872}}), red}}},
      {"letter T",
       {{Polygon({{172, 152},
                  {852, 152},
                  {852, 302},
                  {592, 302},
                  {592, 872},
                  {432, 872},
                  {432, 302},
                  {172, 302}}),
         dark}}},
      {"house",
       {{Polygon({{512, 112}, {912, 472}, {812, 472}, {212, 472}, {112, 472}}), red},
        {Rect(212, 472, 600, 420), yellow},
        {Rect(442, 652, 140, 240), brown},
        {Rect(272, 552, 120, 100), blue}}},
      {"gear", {{Polygon(Gear(512, 512, 420, 320, 10)) + Circle(512, 512, 130, false), grey}}},
      {"sun",
       {{Circle(512, 512, 220), yellow},
        {[] {
           std::string d;
           for (int i = 0; i < 8; ++i) {
             d += Polygon(Rotated({{482, 92}, {542, 92}, {542, 232}, {482, 232}}, 45.0 * i));
           }
           return d;
         }(),
         orange}}},
      {"moon", {{"M612 132A380 380 0 1 0 892 672A320 320 0 1 1 612 132Z", "#5c6bc0"}}},
      {"cloud",
       {{Circle(352, 552, 180) + Circle(552, 452, 230) + Circle(732, 582, 160) +
             Rect(352, 582, 380, 150),
         "#64b5f6"}}},
      {"lightning",
       {{Polygon({{592, 92}, {232, 572}, {482, 572}, {412, 932}, {792, 412}, {542, 412}}),
         yellow}}},
      {"play", {{Polygon({{272, 152}, {852, 512}, {272, 872}}), green}}},
      {"pause", {{Rect(252, 172, 180, 680), dark}, {Rect(592, 172, 180, 680), dark}}},
      {"stop", {{RoundRect(212, 212, 600, 600, 80), red}}},
      {"magnifier",
       {{Circle(432, 432, 280) + Circle(432, 432, 190, false), dark},
        {Polygon(Rotated({{472, 720}, {552, 720}, {552, 960}, {472, 960}}, -45)), brown}}},
      {"user",
       {{Circle(512, 332, 200), blue},
        {"M152 912C152 692 312 572 512 572C712 572 872 692 "
         "872 912Z",
         blue}}},
      {"envelope",
       {{Rect(112, 232, 800, 560), white},
        {Rect(112, 232, 800, 560) + Polygon({{152, 272}, {152, 752}, {872, 752}, {872, 272}}),
         dark},
        {Polygon({{152, 292}, {212, 292}, {512, 532}, {812, 292}, {872, 292}, {512, 612}}),
         orange}}},
      {"battery",
       {{RoundRect(112, 292, 720, 440, 60) +
             Polygon({{172, 352}, {172, 672}, {772, 672}, {772, 352}}),
         dark},
        {Rect(832, 422, 80, 180), dark},
        {Rect(212, 392, 380, 240), green}}},
      {"flag",
       {{Rect(192, 112, 70, 800), brown},
        {Polygon({{262, 152}, {852, 152}, {712, 342}, {852, 532}, {262, 532}}), red}}},
      {"folder",
       {{"M112 252Q112 212 152 212H392L472 292H872Q912 292 912 332V772Q912 812 872 812H152Q112 "
         "812 112 772Z",
         "#f6c343"},
        {Rect(112, 372, 800, 440), "#e8a317"}}},
  };
  return icons;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

const std::string kSvgOpen =
    "<svg class=\"icon\" viewBox=\"0 0 1024 1024\" version=\"1.1\" "
    "xmlns=\"http://www.w3.org/2000/svg\">";

std::string PathsOf(const std::vector<Shape>& shapes) {
  std::string out;
  for (const Shape& s : shapes)
    out += "<path d=\"" + s.d + "\" fill=\"" + s.fill + "\"></path>";
  return out;
}

std::string Markup(const Icon& icon) {
  return kSvgOpen + PathsOf(icon.shapes) + "</svg>";
}

// One element of data.icons; an empty markup leaves show_svg out.
struct Entry {
  std::string name, markup;
  bool hasSvg = true;
};

std::string Collection(const SampleCollection& c, const std::vector<Entry>& entries,
                       bool withIcons = true) {
  std::string json = "{\"code\":200,\"data\":{\"id\":" + JsonString(std::string(c.id)) +
                     ",\"name\":" + JsonString(std::string(c.name)) +
                     ",\"icon_count\":" + std::to_string(entries.size());
  if (withIcons) {
    json += ",\"icons\":[";
    for (size_t i = 0; i < entries.size(); ++i) {
      if (i)
        json += ",";
      json += "{\"id\":" + std::to_string(std::stoi(std::string(c.id)) * 100 + int(i) + 1) +
              ",\"name\":" + JsonString(entries[i].name);
      if (entries[i].hasSvg)
        json += ",\"show_svg\":" + JsonString(entries[i].markup);
      json += "}";
    }
    json += "]";
  }
  return json + "}}\n";
}

std::string LargePath() {
  // A filled band whose upper edge is a fine wave of several thousand points: about 200 KB of
  // path data in one d attribute.
  std::string d = "M40 980L40 512";
  const int points = 16000;
  for (int i = 1; i <= points; ++i) {
    const double x = 40 + 944.0 * i / points;
    const double y = 512 + 180 * std::sin(i * 0.05) + 60 * std::sin(i * 0.9);
    d += "L" + Num(x) + " " + Num(y);
  }
  return d + "L984 980Z";
}

bool Write(const std::filesystem::path& dir, const SampleCollection& c, const std::string& json) {
  std::ofstream out(dir / (std::string(c.id) + ".json"), std::ios::binary | std::ios::trunc);
  out << json;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: korvane-sample-gen OUTPUT_DIR\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  const std::vector<Icon> icons = DefaultIcons();
  std::vector<Entry> defaults;
  for (const Icon& icon : icons)
    defaults.push_back({icon.name, Markup(icon)});
  if (defaults.size() != size_t(samples::kDefault.icons)) {
    std::cerr << "the default collection must have " << samples::kDefault.icons << " icons\n";
    return 1;
  }

  const Icon& house = icons[25];
  const Icon quarters{"four quarters",
                      {{Rect(112, 112, 390, 390), "#e2463c"},
                       {Rect(522, 112, 390, 390), "#2e9e5b"},
                       {Rect(112, 522, 390, 390), "#2f6fde"},
                       {Rect(522, 522, 390, 390), "#f4b400"}}};
  const std::string simplePath = PathsOf(icons[6].shapes);  // the green circle

  bool ok = true;
  ok &= Write(dir, samples::kDefault, Collection(samples::kDefault, defaults));
  ok &= Write(dir, samples::kSeveralPaths,
              Collection(samples::kSeveralPaths,
                         {{quarters.name, Markup(quarters)}, {icons[6].name, Markup(icons[6])}}));
  ok &= Write(dir, samples::kTwoSvgElements,
              Collection(samples::kTwoSvgElements,
                         {{"square and circle", Markup(icons[5]) + Markup(icons[6])}}));
  ok &= Write(dir, samples::kLargePath,
              Collection(samples::kLargePath, {{"wave", kSvgOpen + "<path d=\"" + LargePath() +
                                                            "\" fill=\"#2f6fde\"></path></svg>"}}));
  ok &= Write(dir, samples::kLineBreak,
              Collection(samples::kLineBreak,
                         {{"break before the path", kSvgOpen + "\n" + simplePath + "</svg>"},
                          {"break before the end tag", kSvgOpen + simplePath + "\n</svg>"}}));
  ok &= Write(dir, samples::kNoVersion,
              Collection(samples::kNoVersion, {{"no version",
                                                "<svg class=\"icon\" viewBox=\"0 0 1024 1024\" "
                                                "xmlns=\"http://www.w3.org/2000/svg\">" +
                                                    simplePath + "</svg>"}}));
  ok &= Write(dir, samples::kMissingSvg,
              Collection(samples::kMissingSvg, {{icons[5].name, Markup(icons[5])},
                                                {"no markup", "", false},
                                                {icons[6].name, Markup(icons[6])}}));
  ok &= Write(
      dir, samples::kChineseText,
      Collection(samples::kChineseText, {{"红色的房子", kSvgOpen + "<title>红色的房子</title>" +
                                                            PathsOf(house.shapes) + "</svg>"}}));
  ok &= Write(dir, samples::kNoIcons, Collection(samples::kNoIcons, {}, false));
  ok &= Write(dir, samples::kEmptyIcons, Collection(samples::kEmptyIcons, {}));
  // The unclosed group lands inside the captured path run, so the wrapped document is not
  // well-formed XML.
  ok &= Write(
      dir, samples::kBrokenSvg,
      Collection(samples::kBrokenSvg, {{"unclosed group", kSvgOpen + simplePath + "<g></svg>"},
                                       {icons[5].name, Markup(icons[5])}}));
  if (!ok) {
    std::cerr << "cannot write the sample collections into " << dir << "\n";
    return 1;
  }
  return 0;
}
