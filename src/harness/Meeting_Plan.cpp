#include "Meeting_Plan.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "capture/SimVideoCap.h"
#include "platform/Clock.h"
#include "review/Module_Results.h"

uint64_t Meeting_Random::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Meeting_Random::Uniform(double low, double high) {
    const double unit = static_cast<double>(Next() >> 11) / 9007199254740992.0;  // 2^53
    return low + (high - low) * unit;
}

int Meeting_Random::Between(int low, int high) {
    if (high <= low) return low;
    return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
}

bool Meeting_Random::Chance(double p) { return Uniform(0.0, 1.0) < p; }

const char* Meeting_Event_Name(Meeting_Event e) {
    switch (e) {
        case Meeting_Event::Review_By_Menu: return "review before initiate (menu)";
        case Meeting_Event::Review_By_Last_Heat: return "review before initiate (open last heat)";
        case Meeting_Event::Late_Press: return "capture press after the first crossing";
        case Meeting_Event::Two_Windows: return "two capture windows";
        case Meeting_Event::Quick_Reopen: return "second window within 300 ms";
        case Meeting_Event::Pointer_Slide_Off: return "capture pointer slide-off";
        case Meeting_Event::Box_Detach: return "Control Box detach during a window";
        case Meeting_Event::Camera_Restart: return "camera stop and start";
        case Meeting_Event::Abort_Restart: return "abort and new start";
        case Meeting_Event::Competitors_Correction: return "dog-name correction (heat competitors)";
        case Meeting_Event::Results_Correction: return "correction (results window)";
        case Meeting_Event::DNF: return "DNF";
        case Meeting_Event::DSQ: return "DSQ";
        case Meeting_Event::No_Rank: return "no rank";
        case Meeting_Event::Dead_Heat: return "dead heat";
        case Meeting_Event::Finish_By_Last_Heat: return "heat finished by \"Open last heat\"";
        case Meeting_Event::Finish_While_Capturing: return "heat finish with the capture held";
        case Meeting_Event::Auto_Capture: return "automatic capture";
        case Meeting_Event::Abort_With_Window: return "abort with a capture window open";
        case Meeting_Event::Review_During_Heat: return "review of the previous heat while the heat runs";
        case Meeting_Event::Failed_Append: return "capture window not stored (file unwritable)";
        case Meeting_Event::Reattach_Start_Closed: return "Control Box back with the start line closed";
        case Meeting_Event::Two_Triggers_Held: return "two capture triggers held";
        case Meeting_Event::Declare_Official: return "declared official";
        case Meeting_Event::Official_Correction: return "corrected after the declaration";
        case Meeting_Event::Count: break;
    }
    return "?";
}

std::vector<Meeting_Heat_Plan> Plan_Meeting(uint64_t seed, int heats) {
    Meeting_Random random(seed * 7919 + 1);
    std::vector<Meeting_Heat_Plan> plan(static_cast<size_t>(std::max(heats, 0)));
    for (size_t h = 0; h < plan.size(); ++h) {
        plan[h].Heat = static_cast<int>(h + 1);
        plan[h].Start = static_cast<Start_Signal>(random.Between(0, 2));
    }
    if (plan.empty()) return plan;
    const auto possible = [](const Meeting_Heat_Plan& p, Meeting_Event e) {
        // One review before initiating a heat is enough.
        if (e == Meeting_Event::Review_By_Menu && p.Has(Meeting_Event::Review_By_Last_Heat)) return false;
        if (e == Meeting_Event::Review_By_Last_Heat && p.Has(Meeting_Event::Review_By_Menu)) return false;
        return p.Heat > 1 || (e != Meeting_Event::Review_By_Menu && e != Meeting_Event::Review_By_Last_Heat &&
                              e != Meeting_Event::Review_During_Heat);
    };
    // Every event once, in a shuffled order, dealt round the heats.
    std::vector<Meeting_Event> deck;
    for (int e = 0; e < static_cast<int>(Meeting_Event::Count); ++e) deck.push_back(static_cast<Meeting_Event>(e));
    for (size_t i = deck.size(); i > 1; --i) std::swap(deck[i - 1], deck[random.Next() % i]);
    size_t next = random.Next() % plan.size();
    for (Meeting_Event e : deck) {
        for (size_t tries = 0; tries < plan.size(); ++tries, ++next) {
            Meeting_Heat_Plan& p = plan[next % plan.size()];
            if (!possible(p, e)) continue;
            p.Events.insert(e);
            ++next;
            break;
        }
    }
    // And some more at random.
    for (Meeting_Heat_Plan& p : plan)
        for (int e = 0; e < static_cast<int>(Meeting_Event::Count); ++e)
            if (possible(p, static_cast<Meeting_Event>(e)) && random.Chance(0.2))
                p.Events.insert(static_cast<Meeting_Event>(e));
    // A quick reopen is a second window; one review a heat is enough.
    for (Meeting_Heat_Plan& p : plan) {
        if (p.Has(Meeting_Event::Quick_Reopen)) p.Events.insert(Meeting_Event::Two_Windows);
        if (p.Has(Meeting_Event::Official_Correction)) p.Events.insert(Meeting_Event::Declare_Official);
        if (p.Has(Meeting_Event::Review_By_Menu) && p.Has(Meeting_Event::Review_By_Last_Heat))
            p.Events.erase(random.Chance(0.5) ? Meeting_Event::Review_By_Menu : Meeting_Event::Review_By_Last_Heat);
    }
    return plan;
}

int Meeting_Format(uint64_t seed) {
    // Every format, the 720*576 one too (the crop's rows beyond the picture are
    // black). Shifted every second seed: the choices made by seed % 4
    // (automatic initiation, say) meet every format.
    const uint64_t formats = SimVideoCap::Default_Formats().size();
    return static_cast<int>((seed + seed / 2) % formats);
}

std::string Sim_Format_Name(const Sim_Format& f) {
    return std::to_string(f.Width) + "*" + std::to_string(f.Height) + "/" + std::to_string(f.Fps) +
           (f.Interlaced ? "i" : "p");
}

Race_Programme Meeting_Programme(uint64_t seed, int heats) {
    // Names as race cards from Windows programs have them: typographic
    // apostrophes and letters beyond ASCII.
    static const char* const First[] = {
        "Red",         "Blue",  "Swift",  "Lucky", "Silver", "Midnight", "Golden",
        "Little",      "Wild",  "Brave",  "Quiet", "Rusty",  "Smoky",    "Northern",
        "Dusty",       "Misty", "Copper", "Amber", "Jolly",  "Stormy",   "O\342\200\231Brien\342\200\231s",
        "Se\xC3\xB1or"};
    static const char* const Second[] = {"Rocket", "Streak", "Arrow",  "Comet",  "Shadow", "Flash",   "Spirit",
                                         "Dancer", "Bolt",   "Ranger", "Echo",   "Blaze",  "Whisper", "Runner",
                                         "Breeze", "Star",   "Hunter", "Pepper", "Dash",   "Ember"};
    static const char* const Stakes[] = {"Maiden",
                                         "Puppy Stakes",
                                         "Sprint",
                                         "Open Race",
                                         "Novice",
                                         "Veterans",
                                         "Hurdle",
                                         "Derby Trial",
                                         "Consolation",
                                         "Final",
                                         "\342\202\254500 Sprint"};
    Meeting_Random random(seed * 104729 + 3);
    Race_Programme p;
    p.Event = "Seed " + std::to_string(seed) + " Evening Meeting";
    p.Day = "Fri";
    std::set<std::string> used;
    for (int h = 1; h <= heats; ++h) {
        Programme_Heat heat;
        heat.Name = std::string(Stakes[random.Next() % std::size(Stakes)]) + " " + std::to_string(h);
        heat.Length = std::to_string(random.Chance(0.5) ? 480 : 500);
        for (std::string& dog : heat.Dogs) {
            do {
                dog = std::string(First[random.Next() % std::size(First)]) + " " +
                      Second[random.Next() % std::size(Second)];
            } while (used.count(dog) != 0 && used.size() < 400);
            used.insert(dog);
        }
        p.Heats.push_back(heat);
    }
    return p;
}

namespace {

// UTF-8 to Windows-1252 as a Windows program writes it, for the letters the
// programme's names use (its own table: the import's reading is what is checked);
// false for any other character.
bool To_Windows1252(const std::string& utf8, std::string& out) {
    static const std::map<std::string, char> special = {{"\xE2\x80\x99", '\x92'}, {"\xE2\x82\xAC", '\x80'}};
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += utf8[i++];
        } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
            // U+00A0..U+00FF: Latin-1, the same byte.
            out += static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            i += 2;
        } else if (const auto found = special.find(utf8.substr(i, 3)); found != special.end()) {
            out += found->second;
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

std::string Csv_Cell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

Meeting_Race_Card Make_Race_Card(const Race_Programme& programme, bool windows_1252) {
    Meeting_Race_Card card;
    card.Expected = programme;
    card.Encoding = windows_1252 ? "windows-1252" : "utf-8";
    std::string text = "Race No,Trap,Greyhound,Seeding,Race Name,Distance\r\n";
    for (size_t h = 0; h < programme.Heats.size(); ++h) {
        const int heat = static_cast<int>(h + 1);
        Programme_Heat& expected = card.Expected.Heats[h];
        for (int box = 1; box <= 6; ++box) {
            // A wide runner in the outside box of even heats, a middle runner in box 3 of every third.
            const std::string seeding = box == 6 && heat % 2 == 0 ? "W" : box == 3 && heat % 3 == 0 ? "M" : "";
            std::string& dog = expected.Dogs[static_cast<size_t>(box - 1)];
            const std::string given = dog;
            if (!seeding.empty()) dog += " (" + seeding + ")";
            // The distance as offices write it: with and without the unit.
            const std::string distance = programme.Heats[h].Length + (heat % 2 ? "m" : "");
            text += std::to_string(heat) + "," + std::to_string(box) + "," + Csv_Cell(given) + "," + seeding + "," +
                    Csv_Cell(programme.Heats[h].Name) + "," + distance + "\r\n";
            ++card.Dogs;
        }
    }
    if (!windows_1252) {
        card.Bytes = "\xEF\xBB\xBF" + text;
    } else if (!To_Windows1252(text, card.Bytes)) {
        card.Bytes.clear();
    }
    return card;
}

std::vector<Ranked_Entry> Rank_Results(std::vector<Ranked_Entry> boxes) {
    std::sort(boxes.begin(), boxes.end(), [](const Ranked_Entry& a, const Ranked_Entry& b) { return a.Box < b.Box; });
    const auto key = [](const Ranked_Entry& e) { return e.Goal_Time == 0 ? No_Time : e.Goal_Time; };
    std::stable_sort(boxes.begin(), boxes.end(), [&](const Ranked_Entry& a, const Ranked_Entry& b) {
        if (key(a) != key(b)) return key(a) < key(b);
        // Click times come from the wrapping PC clock: the earlier click is the one before.
        return Platform::Mill_Since(b.Click_Time, a.Click_Time) < 0;
    });
    // A marked dog shares with a partner at its time, even one clicked again after it.
    for (auto first = boxes.begin(); first != boxes.end();) {
        const auto end = std::find_if(first, boxes.end(), [&](const Ranked_Entry& e) { return key(e) != key(*first); });
        const auto unmarked = std::find_if(first, end, [](const Ranked_Entry& e) { return !e.Dead_Heat; });
        if (first->Dead_Heat && key(*first) < DNF_Code && unmarked != end) std::rotate(first, unmarked, unmarked + 1);
        first = end;
    }
    int counter = 0;
    for (size_t r = 0; r < boxes.size(); ++r) {
        if (!boxes[r].Dead_Heat) counter = static_cast<int>(r + 1);
        boxes[r].Rank = key(boxes[r]) >= DNF_Code ? "---" : std::to_string(counter);
    }
    return boxes;
}
