#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "Cfg/Cfg.h"

namespace Cfg {

namespace {

constexpr std::string_view kEnd = "\n";

// Where a size comes from: a layer's aperture.
struct Source {
    std::size_t Layer = 0;
    std::int32_t DCode = 0;
};

// Sizes a sheet can hold: whole layout units within its range.
std::int32_t SheetSize(double v) {
    double r = std::round(v);
    return static_cast<std::int32_t>(
        std::clamp(r, static_cast<double>(Sheet::kMinSize), static_cast<double>(Sheet::kMaxSize)));
}

// The one size that stands for all from a to b with the smallest worst
// relative error, and that error.
std::int32_t Between(std::int32_t a, std::int32_t b) {
    return SheetSize(2.0 * a * b / (static_cast<double>(a) + b));
}
double Spread(std::int32_t a, std::int32_t b) {
    return (static_cast<double>(b) - a) / (static_cast<double>(b) + a);
}

// A layer as the comments name it: its file's name without the directories,
// which the sheet's head lists whole.
std::string Label(const LayerFacts& L) {
    std::size_t Slash = L.Name.rfind('/');
    return Slash == std::string::npos ? L.Name : L.Name.substr(Slash + 1);
}

// "D10 D11 (a.gtl); D12 (b.gbl)": the apertures a code stands for, by layer.
std::string Names(std::vector<Source> From, const std::vector<LayerFacts>& Layers) {
    std::sort(From.begin(), From.end(), [](const Source& a, const Source& b) {
        return std::tie(a.Layer, a.DCode) < std::tie(b.Layer, b.DCode);
    });
    std::string Text;
    for (std::size_t i = 0; i < From.size(); ++i) {
        bool NewLayer = i == 0 || From[i].Layer != From[i - 1].Layer;
        if (NewLayer && i > 0) {
            Text += " (" + Label(Layers[From[i - 1].Layer]) + "); ";
        } else if (!NewLayer) {
            Text += ' ';
        }
        Text += 'D' + std::to_string(From[i].DCode);
    }
    if (!From.empty()) {
        Text += " (" + Label(Layers[From.back().Layer]) + ")";
    }
    return CommentSafe(Text);
}

// A group of sizes that one code stands for, and where they come from.
struct Group {
    Sheet::PadShape Shape = Sheet::PadShape::kRound;
    std::int32_t MinX = 0;
    std::int32_t MaxX = 0;
    std::int32_t MinY = 0;
    std::int32_t MaxY = 0;
    std::vector<Source> From;
};

// What merging a and b would leave as the worst error, without merging.
double MergedCost(const Group& a, const Group& b) {
    return std::max(Spread(std::min(a.MinX, b.MinX), std::max(a.MaxX, b.MaxX)),
                    Spread(std::min(a.MinY, b.MinY), std::max(a.MaxY, b.MaxY)));
}

Group Merged(const Group& a, const Group& b) {
    Group m = a;
    m.MinX = std::min(a.MinX, b.MinX);
    m.MaxX = std::max(a.MaxX, b.MaxX);
    m.MinY = std::min(a.MinY, b.MinY);
    m.MaxY = std::max(a.MaxY, b.MaxY);
    m.From.insert(m.From.end(), b.From.begin(), b.From.end());
    return m;
}

// Distinct sizes, each with its sources, sorted.
using Distinct = std::map<std::tuple<Sheet::PadShape, std::int32_t, std::int32_t>, Group>;

void Add(Distinct& All, Sheet::PadShape Shape, std::int32_t X, std::int32_t Y, Source s) {
    Group& g = All[{Shape, X, Y}];
    g = {Shape, X, X, Y, Y, std::move(g.From)};
    g.From.push_back(s);
}

// How many groups the sorted sizes fall into when none may be off by more
// than t, greedily from the smallest.
std::vector<Group> Cover(const std::vector<Group>& Sizes, double t) {
    std::vector<Group> Out;
    for (const Group& g : Sizes) {
        if (!Out.empty() && Spread(Out.back().MinX, g.MaxX) <= t) {
            Out.back() = Merged(Out.back(), g);
        } else {
            Out.push_back(g);
        }
    }
    return Out;
}

// The widths: the smallest tolerance whose greedy cover needs no more codes
// than there are.
std::vector<Group> MergeWidths(const std::vector<Group>& Sizes) {
    if (Sizes.size() <= static_cast<std::size_t>(Sheet::kWidthCodes)) {
        return Sizes;
    }
    double Lo = 0;
    double Hi = 1;  // one group holds everything: Spread is below 1
    for (int i = 0; i < 60; ++i) {
        double Mid = (Lo + Hi) / 2;
        if (Cover(Sizes, Mid).size() <= static_cast<std::size_t>(Sheet::kWidthCodes)) {
            Hi = Mid;
        } else {
            Lo = Mid;
        }
    }
    return Cover(Sizes, Hi);
}

// The pads: the closest pair of one shape merged, again and again, until the
// codes suffice; shapes stay apart, as there are fewer shapes than codes.
// Each group keeps its nearest partner: a merge only makes the merged group
// farther from the others, so only the partners of the two merged ones are
// looked for again, and a board of thousands of pads merges in moments.
std::vector<Group> MergePads(std::vector<Group> All) {
    constexpr double kNone = 2;  // more than any cost: Spread is below 1
    std::size_t n = All.size();
    std::vector<bool> Alive(n, true);
    std::vector<std::size_t> Near(n, 0);
    std::vector<double> NearCost(n, kNone);
    auto FindNear = [&](std::size_t i) {
        NearCost[i] = kNone;
        for (std::size_t k = 0; k < n; ++k) {
            if (k != i && Alive[k] && All[k].Shape == All[i].Shape) {
                double c = MergedCost(All[i], All[k]);
                if (c < NearCost[i]) {
                    NearCost[i] = c;
                    Near[i] = k;
                }
            }
        }
    };
    for (std::size_t i = 0; i < n; ++i) {
        FindNear(i);
    }
    for (std::size_t Left = n; Left > static_cast<std::size_t>(Sheet::kPatternCodes); --Left) {
        std::size_t Best = n;
        for (std::size_t i = 0; i < n; ++i) {
            if (Alive[i] && (Best == n || NearCost[i] < NearCost[Best])) {
                Best = i;
            }
        }
        std::size_t With = Near[Best];
        All[Best] = Merged(All[Best], All[With]);
        Alive[With] = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (Alive[i] && (i == Best || Near[i] == Best || Near[i] == With)) {
                FindNear(i);
            }
        }
    }
    std::vector<Group> Kept;
    for (std::size_t i = 0; i < n; ++i) {
        if (Alive[i]) {
            Kept.push_back(std::move(All[i]));
        }
    }
    return Kept;
}

double Worst(const std::vector<Group>& Groups) {
    double w = 0;
    for (const Group& g : Groups) {
        Sheet::Pad P{true, g.Shape, Between(g.MinX, g.MaxX), Between(g.MinY, g.MaxY)};
        w = std::max({w, Off(P.X, g.MinX), Off(P.X, g.MaxX), Off(P.Y, g.MinY), Off(P.Y, g.MaxY)});
    }
    return w;
}

std::vector<Group> Values(const Distinct& All) {
    std::vector<Group> v;
    for (const auto& [Key, g] : All) {
        v.push_back(g);
    }
    return v;
}

}  // namespace

std::string ProposeText(const std::vector<LayerFacts>& Layers, double& WorstWidth, double& WorstPad,
                        int& Widths, int& Patterns) {
    Distinct Strokes;
    Distinct Pads;
    for (std::size_t l = 0; l < Layers.size(); ++l) {
        const FileFacts& F = Layers[l].Facts;
        for (const Defined& D : F.Apertures) {
            Source s{l, D.A.DCode};
            if (D.Drawn) {
                std::int32_t w = SheetSize(ToLayout(D.A.Stroke, F.Units));
                Add(Strokes, Sheet::PadShape::kRound, w, w, s);
            }
            if (D.Flashed) {
                PadSize P = PadOf(D, F.Units);
                Add(Pads, P.Shape, SheetSize(P.X), SheetSize(P.Y), s);
            }
        }
    }
    std::vector<Group> w = MergeWidths(Values(Strokes));
    std::vector<Group> p = MergePads(Values(Pads));
    std::sort(p.begin(), p.end(), [](const Group& a, const Group& b) {
        return std::tie(a.Shape, a.MinX, a.MinY) < std::tie(b.Shape, b.MinX, b.MinY);
    });
    WorstWidth = Worst(w);
    WorstPad = Worst(p);
    Widths = static_cast<int>(w.size());
    Patterns = static_cast<int>(p.size());

    std::string Text = "{ Code sheet proposed by " + std::string(kNameAndVersion) +
                       " for the layers" + std::string(kEnd);
    for (const LayerFacts& L : Layers) {
        Text += "    " + CommentSafe(L.Name) + std::string(kEnd);
    }
    Text += "  " + std::to_string(Strokes.size()) + " line strokes as " + std::to_string(Widths) +
            " widths, " + std::to_string(Pads.size()) + " pads as " + std::to_string(Patterns) +
            " patterns. }" + std::string(kEnd);
    for (std::size_t c = 0; c < w.size(); ++c) {
        Text += Sheet::WidthLine(static_cast<int>(c), Between(w[c].MinX, w[c].MaxX)) + "  { " +
                Names(w[c].From, Layers) + " }" + std::string(kEnd);
    }
    for (std::size_t c = 0; c < p.size(); ++c) {
        Sheet::Pad P{true, p[c].Shape, Between(p[c].MinX, p[c].MaxX),
                     Between(p[c].MinY, p[c].MaxY)};
        Text += Sheet::PadLine(static_cast<int>(c), P) + "  { " + Names(p[c].From, Layers) + " }" +
                std::string(kEnd);
    }
    return Text;
}

}  // namespace Cfg
