#include "Help.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

#include "Captions.h"
#include "LandmarkFileLoader.h"
#include "Loaders.h"
#include "compute/Compute.h"
#include "compute/Landmarks.h"
#include "core/Version.h"

namespace morvik::core {
namespace {

// Every text of the page exists twice; `cz` picks one. Names of buttons and pages come from
// the window's captions, so the page says what the window shows.
struct Lang {
    bool cz;
    std::string operator()(std::string_view czech, std::string_view english) const {
        return std::string(cz ? czech : english);
    }
    const CaptionSet& Captions() const { return cz ? kCzechCaptions : kEnglishCaptions; }
};

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A caption in bold, without the arrow some buttons carry.
std::string Bold(std::string_view caption) {
    if (caption.ends_with(" >>")) caption.remove_suffix(3);
    return "<b>" + Escape(caption) + "</b>";
}

std::string Tag(std::string_view tag, std::string_view html) {
    return "<" + std::string(tag) + ">" + std::string(html) + "</" + std::string(tag) + ">\n";
}

std::string Code(std::string_view text) { return "<code>" + Escape(text) + "</code>"; }

std::string Row(std::string_view cellTag, std::initializer_list<std::string> cells) {
    std::string row = "<tr>";
    for (const std::string& cell : cells) {
        row += "<" + std::string(cellTag) + ">" + cell + "</" + std::string(cellTag) + ">";
    }
    return row + "</tr>\n";
}

std::string Table(std::initializer_list<std::string> header, const std::string& rows) {
    std::vector<std::string> cells(header);
    std::string head = "<tr>";
    for (const std::string& cell : cells) head += "<th>" + cell + "</th>";
    return "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n" + head + "</tr>\n" + rows +
           "</table>\n";
}

std::string Join(const std::vector<std::string>& items, std::string_view comma,
                 std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? last : comma;
        text += items[i];
    }
    return text;
}

// The Czech "Prosthion " keeps a trailing blank in the grid; the page does not need it.
std::string_view Trimmed(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

std::string_view Abbreviation(int row) {
    return kLandmarks[static_cast<std::size_t>(row - 1)].abbreviation;
}

// The distinct landmarks of a run of rows, by abbreviation, in order of first use.
std::string LandmarkList(const int* rows, std::size_t count, const Lang& t) {
    std::vector<int> seen;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        if (rows[i] <= 0 || std::find(seen.begin(), seen.end(), rows[i]) != seen.end()) continue;
        seen.push_back(rows[i]);
        names.push_back(Escape(Abbreviation(rows[i])));
    }
    return Join(names, ", ", t(" a ", " and "));
}

// The three landmarks a plane of a flexure goes through.
std::string Plane(const int* rows) {
    std::string names;
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        if (std::find(seen.begin(), seen.end(), rows[i]) != seen.end()) continue;
        if (!seen.empty()) names += ", ";
        seen.push_back(rows[i]);
        names += Escape(Abbreviation(rows[i]));
    }
    return names;
}

std::string Line(int from, int to) {
    return Escape(Abbreviation(from)) + "&ndash;" + Escape(Abbreviation(to));
}

std::string DimensionMeaning(const DimensionRow& d, const Lang& t) {
    const int* l = d.landmarks.data();
    std::string text;
    switch (d.kind) {
        case DimensionKind::Distance:
            text = std::string(t("vzdálenost bodů ", "distance between ")) + LandmarkList(l, 2, t);
            break;
        case DimensionKind::Euryon:
            text =
                t("vzdálenost pravého a levého bodu euryon; každý z nich je průměrem svého mračna "
                  "bodů",
                  "distance between the right and left euryon points, each the mean of its cloud "
                  "of points");
            break;
        case DimensionKind::PlaneCosine:
            text = t("kosinus úhlu rovin (", "cosine of the angle between the planes (") +
                   Plane(l) + t(") a (", ") and (") + Plane(l + 4) + ")";
            if (d.sign < 0) text += t(", s opačným znaménkem", ", with the opposite sign");
            break;
        case DimensionKind::LineCosine:
            text =
                std::string(t("kosinus úhlu přímek ", "cosine of the angle between the lines ")) +
                Line(l[0], l[1]) + t(" a ", " and ") + Line(l[2], l[3]);
            break;
        case DimensionKind::CentroidSize:
            text = std::string(t("centroidová velikost bodů ", "centroid size of ")) +
                   LandmarkList(l, 4, t) +
                   t(" (odmocnina součtu čtverců jejich vzdáleností od těžiště)",
                     " (square root of the summed squared distances from their centroid)");
            break;
    }
    return text;
}

bool IsCosine(DimensionKind kind) {
    return kind == DimensionKind::PlaneCosine || kind == DimensionKind::LineCosine;
}

// Czech names of the formats; the loader table names them in English.
std::string_view FormatName(const Loader& loader, const Lang& t) {
    if (!t.cz) return loader.description;
    constexpr std::array<std::array<std::string_view, 2>, 13> kCzech{{
        {".xls", "sešit Excel 97–2003"},
        {".xlsx", "sešit Excel"},
        {".xlsm", "sešit Excel s makry"},
        {".ods", "tabulka OpenDocument"},
        {".txt", "text oddělený tabulátory nebo Morphologika"},
        {".csv", "text oddělený čárkami nebo středníky"},
        {".mrk.json", "značky 3D Slicer"},
        {".fcsv", "seznam bodů 3D Slicer"},
        {".pp", "body MeshLab (PickPoints)"},
        {".ckpt", "body Checkpoint"},
        {".pts", "body Landmark Editor"},
        {".dta", "matice NTSYS z Landmark Editor"},
        {".tps", "body TPS"},
    }};
    for (const auto& [extension, name] : kCzech) {
        if (extension == loader.extension) return name;
    }
    return loader.description;
}

std::string Extensions(bool workbooks, const Lang& t) {
    std::vector<std::string> list;
    for (const Loader& loader : Loaders()) {
        if (!workbooks && IsLandmarkLoader(loader)) continue;
        if ((loader.openWorkbook != nullptr) == workbooks) list.push_back(Code(loader.extension));
    }
    return Join(list, ", ", t(" a ", " and "));
}

// Landmark files of digitizing programs: how points find their landmarks, and what to name
// them in each program.
std::string DigitizerSection(const Lang& t) {
    std::vector<std::string> landmarkExtensions;
    for (const Loader& loader : Loaders())
        if (IsLandmarkLoader(loader)) landmarkExtensions.push_back(Code(loader.extension));
    std::string html = Tag(
        "h3", std::string(t("Soubory bodů z digitalizačních programů ",
                            "Landmark files of digitizing programs ")) +
                  Join(landmarkExtensions, ", ", ", ") +
                  t(" a Morphologika <code>.txt</code>", " and Morphologika <code>.txt</code>"));
    html += "<ul>\n";
    html += Tag(
        "li",
        t("Bod patří k jednomu z 22 bodů lebky podle svého popisku: český nebo anglický název či "
          "zkratka z tabulky bodů níže, nebo obvyklý antropologický název či zkratka (glabella/g, "
          "nasion/n, basion/ba, bregma/b, opisthocranion/op, prosthion/pr, zygion/zy, "
          "ectomolare/ekm, dacryon/d, frontomalare orbitale/fmo, zygoorbitale/zo…). Na velikosti "
          "písmen, diakritice, mezerách, pomlčkách a podtržítkách nezáleží; strana se píše jako "
          "dx/sin, R/L, right/left nebo pravý/levý před názvem nebo za ním (zy_R, levý zygion, "
          "Zygion dx).",
          "A point belongs to one of the 22 landmarks by its label: the Czech or English name or "
          "the abbreviation of the landmark table below, or the usual anatomical name or "
          "abbreviation (glabella/g, nasion/n, basion/ba, bregma/b, opisthocranion/op, "
          "prosthion/pr, zygion/zy, ectomolare/ekm, dacryon/d, frontomalare orbitale/fmo, "
          "zygoorbitale/zo…). Letter case, accents, blanks, hyphens and underscores do not "
          "matter; the side is written dx/sin, R/L, right/left or pravý/levý before or after the "
          "name (zy_R, left zygion, Zygion dx)."));
    html += Tag("li", t("Mračno euryonu: skupina bodů nebo křivka pojmenovaná „euryon dx“ či "
                        "„euryon sin“ (též eu_R, eu_L…), nebo body s takovým popiskem; jediný "
                        "bod je mračno o jednom bodu.",
                        "A euryon cloud: a point group or curve named \"euryon dx\" or "
                        "\"euryon sin\" (or eu_R, eu_L…), or points labelled so; a single "
                        "point is a cloud of one."));
    html += Tag("li", t("Zpráva po načtení ukáže, který popisek připadl kterému bodu, a vypíše "
                        "popisky, které žádný bod neoznačují. Dva body téhož bodu lebky soubor "
                        "odmítnou. Soubor s výchozími popisky (F-1, F-2…) nebo bez popisků (TPS, "
                        "Morphologika) se bere v pořadí tabulky bodů, jen má-li přesně 22 bodů.",
                        "The message after a load shows which label went to which landmark and "
                        "lists the labels that name none. Two points naming one landmark refuse "
                        "the file. A file of default labels (F-1, F-2…) or of none (TPS, "
                        "Morphologika) is taken in the landmark table's order only when it holds "
                        "exactly 22 points."));
    html += Tag("li", t("Mikrometry se převedou na milimetry; soubor bez jednotky se čte v "
                        "milimetrech a zpráva to řekne, stejně jako souřadnicový systém (LPS, "
                        "RAS). Vzdálenost G–OP mimo 100–300 mm zpráva označí za nejspíš chybnou "
                        "jednotku.",
                        "Micrometres become millimetres; a file that states no unit is read as "
                        "millimetres and the message says so, as it names the coordinate system "
                        "(LPS, RAS). A G–OP distance outside 100–300 mm is named as a probable "
                        "unit error."));
    html += "</ul>\n";
    html += Tag("p", t("Jak body zaznamenat:", "How to record the landmarks:"));
    html += "<ul>\n";
    html += Tag("li", t("<b>3D Slicer</b> (<code>.mrk.json</code>, <code>.fcsv</code>): v modulu "
                        "Markups jeden seznam bodů; každý bod přejmenujte na jeho bod lebky "
                        "(„Glabella“, „zy R“). Neumístěný bod chybí. Euryon jako další seznam "
                        "bodů nebo křivka se jménem „euryon dx“ / „euryon sin“.",
                        "<b>3D Slicer</b> (<code>.mrk.json</code>, <code>.fcsv</code>): one point "
                        "list in the Markups module; rename each point to its landmark "
                        "(\"Glabella\", \"zy R\"). A point not placed is missing. The euryon as "
                        "another point list or a curve named \"euryon dx\" / \"euryon sin\"."));
    html += Tag("li", t("<b>MeshLab</b> (<code>.pp</code>): v nástroji PickPoints dejte každému "
                        "bodu jméno bodu lebky; nezaškrtnutý bod chybí; body euryonu pojmenujte "
                        "„eu R“ / „eu L“.",
                        "<b>MeshLab</b> (<code>.pp</code>): in the PickPoints tool give each "
                        "point its landmark's name; an unchecked point is missing; name euryon "
                        "points \"eu R\" / \"eu L\"."));
    html += Tag("li", t("<b>Checkpoint</b> (<code>.ckpt</code>): pojmenujte body šablony zkratkami "
                        "bodů; bod označený jako chybějící (M) zůstane prázdný.",
                        "<b>Checkpoint</b> (<code>.ckpt</code>): name the template's points by "
                        "the landmark abbreviations; a point marked missing (M) stays empty."));
    html += Tag("li", t("<b>Landmark Editor</b> (<code>.pts</code>, <code>.dta</code>): "
                        "pojmenujte body; 9999 znamená chybějící bod (v <code>.dta</code> kód "
                        "chybějící hodnoty z hlavičky).",
                        "<b>Landmark Editor</b> (<code>.pts</code>, <code>.dta</code>): name "
                        "the landmarks; 9999 marks a missing one (in <code>.dta</code> the "
                        "header's missing-value code)."));
    html += Tag("li", t("<b>TPS</b> (<code>.tps</code>) a <b>Morphologika</b> "
                        "(<code>.txt</code>): body nemají jména, zaznamenejte je v pořadí tabulky "
                        "bodů. Soubor s více jedinci: okno se zeptá, kterého načíst, "
                        "<code>morvik-batch</code> spočítá každého.",
                        "<b>TPS</b> (<code>.tps</code>) and <b>Morphologika</b> "
                        "(<code>.txt</code>): the points have no names; record them in the order "
                        "of the landmark table. A file of several specimens: the window asks "
                        "which one to load, <code>morvik-batch</code> computes each."));
    html += "</ul>\n";
    return html;
}

std::string FormatsSection(const Lang& t) {
    std::string rows;
    for (const Loader& loader : Loaders()) {
        rows += Row(
            "td", {Code(loader.extension), Escape(FormatName(loader, t)),
                   std::string(loader.openWorkbook != nullptr
                                   ? t("body i obě mračna", "landmarks and both clouds")
                               : IsLandmarkLoader(loader) ? t("body podle popisků i obě mračna",
                                                              "landmarks by label and both clouds")
                                                          : t("jen body", "landmarks only"))});
    }
    std::string html = Tag("h2", t("Vstupní soubory", "Input files"));
    html += Tag("p", std::string(t("Soubor se načte tlačítkem ", "Open a file with ")) +
                         Bold(t.Captions().buttons[0]) +
                         t(" (Ctrl+O), přetažením do okna nebo z příkazové řádky: "
                           "<code>morvik SOUBOR</code>. Program čte:",
                           " (Ctrl+O), by dragging it onto the window, or from the command "
                           "line: <code>morvik FILE</code>. The program reads:"));
    html += Table({std::string(t("přípona", "extension")), std::string(t("formát", "format")),
                   std::string(t("obsahuje", "holds"))},
                  rows);

    html += Tag("h3", std::string(t("Sešity ", "Workbooks ")) + Extensions(true, t));
    html += Tag("p", t("Čte se první list, vždy z týchž buněk; nemá-li body a jiný list je má, "
                       "program nabídne ten list:",
                       "The first sheet is read, always from the same cells; when it holds no "
                       "landmarks and another sheet does, the program offers that sheet:"));
    html += "<ul>\n";
    html += Tag("li", t("<b>C2:E23</b> – 22 bodů, řádek 2 je bod 1, řádek 23 bod 22 (pořadí "
                        "v tabulce bodů níže); sloupce C, D, E jsou souřadnice X, Y, Z.",
                        "<b>C2:E23</b> – the 22 landmarks, row 2 is landmark 1, row 23 "
                        "landmark 22 (the order of the landmark table below); columns C, D, E "
                        "are the X, Y, Z coordinates."));
    html += Tag("li", t("<b>H:J</b> – mračno bodů pravého euryonu (X, Y, Z) od řádku 2 dolů až "
                        "po první prázdnou buňku ve sloupci H.",
                        "<b>H:J</b> – the cloud of points of the right euryon (X, Y, Z), from "
                        "row 2 down to the first empty cell of column H."));
    html += Tag("li", t("<b>M:O</b> – mračno bodů levého euryonu, stejně až po první prázdnou "
                        "buňku ve sloupci M.",
                        "<b>M:O</b> – the cloud of the left euryon likewise, down to the first "
                        "empty cell of column M."));
    html += Tag("li", t("Řádek 1 je volný pro nadpisy, sloupce A a B pro názvy bodů.",
                        "Row 1 is free for headings, columns A and B for landmark names."));
    html += "</ul>\n";
    html += Tag("p", t("Prázdná buňka bodu znamená chybějící bod: rozměry z něj se nepočítají.",
                       "An empty landmark cell means a missing landmark: the dimensions that "
                       "need it are not computed."));

    html += Tag("h3", std::string(t("Textové soubory ", "Text files ")) + Extensions(false, t));
    html += "<ul>\n";
    html += Tag("li", t("Řádek n je bod n (pořadí v tabulce bodů níže); jeho první tři pole jsou "
                        "X, Y, Z, další pole se nečtou.",
                        "Line n is landmark n (the order of the landmark table below); its "
                        "first three fields are X, Y, Z, further fields are not read."));
    html += Tag("li", t("<code>.txt</code>: pole oddělená tabulátorem, kódování Windows-1250.",
                        "<code>.txt</code>: fields separated by tabs, Windows-1250 encoding."));
    html += Tag("li", t("<code>.csv</code>: pole oddělená čárkou nebo středníkem, kódování "
                        "UTF-8 nebo Windows-1250. Jakmile se v souboru objeví středník, "
                        "odděluje pole on, a desetinné čárky pak nevadí.",
                        "<code>.csv</code>: fields separated by commas or semicolons, UTF-8 or "
                        "Windows-1250 encoding. As soon as a semicolon appears in the file, "
                        "semicolons separate the fields, and decimal commas are then fine."));
    html += Tag("li", t("První řádek, jehož pole nejsou čísla, je záhlaví a přeskočí se.",
                        "A first line whose fields are all non-numeric is a header and is "
                        "skipped."));
    html += Tag(
        "li", t("Prázdné pole znamená chybějící bod.", "An empty field means a missing landmark."));
    html += Tag("li", t("Jiné pole, které není číslo, soubor odmítne: zpráva uvede řádek, bod a "
                        "osu, a tabulky zůstanou, jak byly.",
                        "Any other field that is not a number refuses the file: the message "
                        "names the line, the landmark and the axis, and the tables stay as they "
                        "were."));
    html += Tag("li", t("Každý soubor je jedna lebka: načtení nahradí body i obě mračna, takže "
                        "po textovém souboru jsou mračna prázdná.",
                        "Each file is one skull: a load replaces the landmarks and both clouds, "
                        "so after a text file the clouds are empty."));
    html += Tag("li", std::string(t("Textové soubory nenesou mračna bodů euryonu: ta se "
                                    "vkládají (Ctrl+V) do jejich tabulek na stránce ",
                                    "Text files carry no euryon clouds: paste those (Ctrl+V) "
                                    "into their grids on the page ")) +
                          Bold(t.Captions().tabSheets[0]) + ".");
    html += "</ul>\n";

    html += DigitizerSection(t);

    html += Tag("h3", t("Šablony k vyplnění", "Templates to fill in"));
    html +=
        Tag("p",
            std::string(t("Prázdné šablony s názvy bodů v pořadí, které program čte: ",
                          "Empty templates with the landmark names in the order the program reads "
                          "them: ")) +
                Code(TemplatePath(".xlsx")) +
                t(" (body do C2:E23, mračna pod nadpisy H1:J1 a "
                  "M1:O1) a ",
                  " (landmarks into C2:E23, the clouds below the "
                  "headings H1:J1 and M1:O1) and ") +
                Code(TemplatePath(".csv")) +
                t(" (čísla do prvních tří polí každého řádku, oddělená středníkem). Před vyplněním "
                  "je zkopírujte k sobě.",
                  " (numbers into the first three fields of each line, separated by semicolons). "
                  "Copy them to your own folder before filling them in."));
    return html;
}

std::string LandmarksSection(const Lang& t) {
    std::string rows;
    for (const LandmarkRow& l : kLandmarks) {
        rows += Row("td", {std::to_string(l.row), "<b>" + Escape(l.abbreviation) + "</b>",
                           Escape(Trimmed(t(l.nameCz, l.nameEn))),
                           "C" + std::to_string(l.row + 1) + ":E" + std::to_string(l.row + 1)});
    }
    return Tag("h2", t("Body", "Landmarks")) +
           Tag("p", t("Zkratky dx a sin značí pravou a levou stranu.",
                      "The endings dx and sin mark the right and left side.")) +
           Table({"#", std::string(t("zkratka", "abbreviation")), std::string(t("název", "name")),
                  std::string(t("buňky sešitu", "cells"))},
                 rows);
}

std::string DimensionsSection(const Lang& t) {
    std::string rows;
    int number = 0;
    for (const DimensionRow& d : kDimensionRows) {
        rows += Row("td", {std::to_string(++number), "<b>" + Escape(t(d.nameCz, d.nameEn)) + "</b>",
                           DimensionMeaning(d, t),
                           std::string(IsCosine(d.kind) ? t("bez jednotky", "none") : "mm")});
    }
    return Tag("h2", t("Rozměry", "Dimensions")) +
           Tag("p", std::string(t("Z bodů se počítá 17 rozměrů; souřadnice se čtou "
                                  "v milimetrech. Rozměry lze také zadat přímo na stránce ",
                                  "The landmarks give 17 dimensions; coordinates are read as "
                                  "millimetres. The dimensions can also be typed on the page ")) +
                        Bold(t.Captions().tabSheets[4]) +
                        t(" a spočítat tlačítkem ", " and computed with ") +
                        Bold(t.Captions().buttons[4]) + ".") +
           Table({"#", std::string(t("rozměr", "dimension")), t("význam", "meaning"),
                  std::string(t("jednotka", "unit"))},
                 rows);
}

std::string VerdictSection(const Lang& t) {
    const VerdictWords cz = VerdictWordsFor("cz");
    const VerdictWords en = VerdictWordsFor("en");
    const VerdictWords& w = t.cz ? cz : en;
    const std::string male(w.male), female(w.female), indeterminate(w.indeterminate);
    std::string html = Tag("h2", t("Výsledek", "Result"));
    html += Tag("p", t("Každá zaškrtnutá rovnice dává skóre: součet součinů koeficientů "
                       "a rozměrů plus konstanta. Skóre nula a větší je hlas pro muže, záporné "
                       "(červené) hlas pro ženu.",
                       "Each ticked equation gives a score: the sum of its coefficients times "
                       "the dimensions, plus its constant. A score of zero or more votes male, "
                       "a negative one (red) votes female."));
    html += Tag("p", t("Rovnice nehlasuje a ukazuje <code>...</code>, když není zaškrtnutá, "
                       "nemá koeficienty, nebo potřebuje rozměr z chybějícího bodu či "
                       "prázdného mračna.",
                       "An equation casts no vote and shows <code>...</code> when it is not "
                       "ticked, has no coefficients, or needs a dimension of a missing "
                       "landmark or an empty cloud."));
    html += Tag("p", t("Verdikt rozhoduje většina hlasů:", "The verdict is the majority vote:"));
    html += "<ul>\n";
    html += Tag("li", "<b>" + male + "</b>" +
                          t(" (modře) – víc hlasů pro muže;", " (blue) – more votes male;"));
    html += Tag("li", "<b>" + female + "</b>" +
                          t(" (červeně) – víc hlasů pro ženu;", " (red) – more votes female;"));
    html += Tag("li", "<b>" + male + "/" + female + "</b>" +
                          t(" – nerozhodně, stejně hlasů pro obě pohlaví;",
                            " – a tie, as many votes for either sex;"));
    html += Tag("li", "<b>" + indeterminate + "</b>" +
                          t(" – nehlasovala žádná rovnice;", " – no equation voted;"));
    html += Tag("li", "<b>" + male + " / " + female + "</b>" +
                          t(" (s mezerami) – zatím nic nespočteno.",
                            " (with spaces) – nothing computed yet."));
    html += "</ul>\n";
    html += Tag("p", t("Vedle verdiktu stojí počty hlasů, např. <b>5 ze 7: muž 4, žena 1</b>: "
                       "hlasovalo 5 ze 7 použitých rovnic, 4 pro muže a 1 pro ženu.",
                       "Beside the verdict stand the vote counts, e.g. <b>5 of 7: male 4, "
                       "female 1</b>: 5 of the 7 equations in use voted, 4 male and 1 "
                       "female."));
    html += Tag("h3", t("Referenční model", "Reference model"));
    html += Tag("p", t("Má-li soubor rovnic v souboru nastavení svůj referenční model (oddíl "
                       "<code>[název sady model]</code>: velikosti vzorků, průměry, společná "
                       "kovarianční matice, apriorní pravděpodobnosti, případně práh), ukazuje "
                       "program pod každým skóre aposteriorní pravděpodobnost pohlaví, pro které "
                       "rovnice hlasuje, a typičnost (jak obvyklá je lebka tak daleko od průměru "
                       "toho pohlaví). Skóre <b>v závorkách</b> je pod prahem: hlas je neurčitý "
                       "a počítá se zvlášť. Skóre s <b>hvězdičkou</b> (kurzívou) je přepočtené "
                       "bez chybějících rozměrů; bublina uvádí, o které rozměry přišlo, a "
                       "očekávanou správnost. Rozměr vzdálený víc než 4 SD od průměrů obou "
                       "pohlaví se ohlásí v řádku zpráv. Export pak zapíše vedle protokolu "
                       "soubor <code>….evidence.txt</code>.",
                       "When an equation set has a reference model in the settings file (a "
                       "section <code>[set name model]</code>: sample sizes, means, the pooled "
                       "covariance matrix, priors, optionally a threshold), each score shows the "
                       "posterior probability of the sex it votes for and the typicality (how "
                       "usual a skull this far from that sex's mean is). A score <b>in "
                       "brackets</b> is below the threshold: its vote is indeterminate and "
                       "counted apart. A score with a <b>star</b> (in italics) was refitted "
                       "without the missing dimensions; its tooltip names them and gives the "
                       "expected accuracy. A dimension more than 4 SD from both sexes' means is "
                       "named in the message line. Export then writes a "
                       "<code>….evidence.txt</code> file beside the report."));
    return html;
}

std::string KeysSection(const Lang& t) {
    struct Key {
        std::string_view keys, cz, en;
    };
    constexpr std::array<Key, 10> kKeys{{
        {"Ctrl+O", "načíst soubor", "open a file"},
        {"Ctrl+Enter, F5", "spočítat", "calculate"},
        {"Ctrl+E", "export výsledku", "export the result"},
        {"Ctrl+P", "protokol o výsledku (PDF)", "the case report (PDF)"},
        {"Ctrl+Q", "konec", "end the program"},
        {"Ctrl+Z", "zpět: načtení, vložení, vymazání a úpravy tabulek měření",
         "undo: loads, pastes, clears and edits of the measurement tables"},
        {"Ctrl+Shift+Z", "znovu", "redo"},
        {"Ctrl+V", "vložit ze schránky (text oddělený tabulátory)",
         "paste from the clipboard (tab-separated text)"},
        {"Delete", "vyprázdnit vybrané buňky", "empty the selected cells"},
        {"F1", "tato nápověda", "this help"},
    }};
    std::string rows;
    for (const Key& key : kKeys) {
        rows += Row("td", {"<b>" + Escape(key.keys) + "</b>", Escape(t(key.cz, key.en))});
    }
    rows += Row("td", {std::string(t("<b>přetažení</b>", "<b>drag and drop</b>")),
                       std::string(t("soubor puštěný na okno se načte",
                                     "a file dropped onto the window is opened"))});
    return Tag("h2", t("Klávesy", "Keys")) +
           Table({std::string(t("klávesa", "key")), std::string(t("co dělá", "what it does"))},
                 rows);
}

}  // namespace

std::string TemplatePath(std::string_view extension) {
    return std::string(kInstallDataDir) + "/template" + std::string(extension);
}

std::string HelpHtml(std::string_view lang) {
    const Lang t{lang == "cz"};
    std::string html = "<html><body>\n";
    html += Tag("h1", t("MORVIK – nápověda", "MORVIK – help"));
    html += Tag("p", std::string(t("Odhad pohlaví podle lebky sedmi diskriminačními rovnicemi "
                                   "z 22 kraniometrických bodů a dvou mračen bodů euryonu. "
                                   "Verze ",
                                   "Sex estimation from the skull by seven discriminant "
                                   "equations from 22 cranial landmarks and two clouds of "
                                   "euryon points. Version ")) +
                         Escape(kVersion) + ".");
    html += FormatsSection(t);
    html += LandmarksSection(t);
    html += DimensionsSection(t);
    html += VerdictSection(t);
    html += KeysSection(t);
    html += "</body></html>\n";
    return html;
}

}  // namespace morvik::core
