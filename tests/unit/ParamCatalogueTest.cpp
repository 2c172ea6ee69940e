#include "params/ParamCatalogue.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

struct TypeCase {
    int Index;
    int Size;
    bool Signed;
};

struct TextCase {
    int Index;
    const char* Text;
};

void ExpectTypes(const ParamCatalogue& cat, const std::vector<TypeCase>& cases) {
    for (const TypeCase& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.Index));
        const ParamType t = cat.Type(c.Index);
        EXPECT_EQ(t.Size, c.Size);
        EXPECT_EQ(t.Signed, c.Signed);
    }
}

void ExpectTexts(const ParamCatalogue& cat, const std::vector<TextCase>& cases) {
    for (const TextCase& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.Index));
        EXPECT_EQ(cat.Description(c.Index), c.Text);
    }
}

void ExpectUntouched(const ParamCatalogue& cat, int first, int last) {
    for (int i = first; i <= last; ++i) {
        SCOPED_TRACE("index " + std::to_string(i));
        EXPECT_EQ(cat.Description(i), "");
        EXPECT_EQ(cat.Type(i).Size, 0);
        EXPECT_FALSE(cat.Type(i).Signed);
    }
}

// First, a middle and the last index of the ranges of every row of the 31400 table.
const std::vector<TypeCase> kQmxTypes = {
    // 1 byte, unsigned
    {1, 1, false}, {6, 1, false}, {11, 1, false}, {31, 1, false}, {44, 1, false},
    {45, 1, false}, {46, 1, false}, {61, 1, false}, {66, 1, false}, {100, 1, false},
    {128, 1, false}, {131, 1, false}, {135, 1, false}, {154, 1, false}, {156, 1, false},
    {173, 1, false}, {176, 1, false}, {190, 1, false}, {199, 1, false}, {202, 1, false},
    // 2 bytes, unsigned
    {24, 2, false}, {26, 2, false}, {28, 2, false}, {30, 2, false}, {52, 2, false},
    {56, 2, false}, {60, 2, false}, {79, 2, false}, {102, 2, false}, {107, 2, false},
    {126, 2, false}, {150, 2, false}, {155, 2, false}, {165, 2, false}, {168, 2, false},
    // 2 bytes, signed
    {29, 2, true}, {51, 2, true}, {97, 2, true}, {127, 2, true}, {166, 2, true},
    {177, 2, true}, {183, 2, true}, {188, 2, true}, {192, 2, true}, {204, 2, true},
    // 4 bytes, unsigned
    {0, 4, false}, {12, 4, false}, {18, 4, false}, {23, 4, false}, {32, 4, false},
    {33, 4, false}, {75, 4, false}, {78, 4, false}, {142, 4, false}, {144, 4, false},
    {145, 4, false},
};

// The same for the 31420 table.
const std::vector<TypeCase> kLumTypes = {
    // 1 byte, unsigned
    {1, 1, false}, {5, 1, false}, {11, 1, false}, {13, 1, false}, {29, 1, false},
    {33, 1, false}, {35, 1, false}, {70, 1, false}, {72, 1, false}, {77, 1, false},
    {100, 1, false}, {154, 1, false},
    // 2 bytes, unsigned
    {12, 2, false}, {24, 2, false}, {44, 2, false}, {50, 2, false}, {52, 2, false},
    {55, 2, false}, {57, 2, false}, {61, 2, false}, {64, 2, false}, {67, 2, false},
    {82, 2, false}, {87, 2, false}, {93, 2, false},
    // 2 bytes, signed
    {25, 2, true}, {31, 2, true}, {41, 2, true}, {49, 2, true},
    // 4 bytes, unsigned
    {0, 4, false}, {14, 4, false}, {19, 4, false}, {23, 4, false}, {32, 4, false},
    {51, 4, false}, {56, 4, false}, {65, 4, false}, {69, 4, false}, {73, 4, false},
    {75, 4, false}, {81, 4, false}, {94, 4, false}, {99, 4, false}, {101, 4, false},
    {124, 4, false}, {126, 4, false}, {140, 4, false}, {153, 4, false}, {155, 4, false},
    // 4 bytes, signed
    {103, 4, true}, {113, 4, true}, {125, 4, true},
};

}  // namespace

TEST(ParamCatalogueTest, StartsEmptyAndReturnsLastIndexPerFamily) {
    ParamCatalogue cat;
    ExpectUntouched(cat, 0, ParamCatalogue::kLastIndex);

    EXPECT_EQ(cat.LoadFamily(kQmx), 204);
    EXPECT_EQ(cat.LoadFamily(kLum), 155);
}

TEST(ParamCatalogueTest, UnknownFamilyLoadsNothing) {
    for (const char* entry : {"", "31400", "31420", "31400 QMX,VERTA", "31420 QS-LUMPROB ",
                              " 31400 QMX, VERTA", "31420 qs-lumprob"}) {
        SCOPED_TRACE(std::string("entry '") + entry + "'");
        ParamCatalogue fresh;
        EXPECT_FALSE(fresh.LoadFamily(entry).has_value());
        ExpectUntouched(fresh, 0, ParamCatalogue::kLastIndex);

        ParamCatalogue loaded;
        loaded.LoadFamily(kLum);
        EXPECT_FALSE(loaded.LoadFamily(entry).has_value());
        EXPECT_EQ(loaded.Description(1), "Tipo 0=QS-LUM, 1=408t, 2=?? 31420");
        EXPECT_EQ(loaded.Type(29).Size, 1);
        ExpectUntouched(loaded, 156, ParamCatalogue::kLastIndex);
    }
}

TEST(ParamCatalogueTest, QmxTypesFollowEveryTableRow) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    ExpectTypes(cat, kQmxTypes);
}

TEST(ParamCatalogueTest, LumTypesFollowEveryTableRow) {
    ParamCatalogue cat;
    cat.LoadFamily(kLum);
    ExpectTypes(cat, kLumTypes);
}

TEST(ParamCatalogueTest, EveryIndexOfAFamilyHasAWidth) {
    for (const auto& [entry, last] : {std::pair{kQmx, 204}, std::pair{kLum, 155}}) {
        SCOPED_TRACE(entry);
        ParamCatalogue cat;
        cat.LoadFamily(entry);
        for (int i = 0; i <= last; ++i) {
            SCOPED_TRACE("index " + std::to_string(i));
            const int size = cat.Type(i).Size;
            EXPECT_TRUE(size == 1 || size == 2 || size == 4) << "size " << size;
        }
        // Nothing beyond the family's last index is written.
        ExpectUntouched(cat, last + 1, ParamCatalogue::kLastIndex);
    }
}

TEST(ParamCatalogueTest, Index29WidthDependsOnFamily) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    EXPECT_EQ(cat.Type(29).Size, 2);
    EXPECT_TRUE(cat.Type(29).Signed);
    cat.LoadFamily(kLum);
    EXPECT_EQ(cat.Type(29).Size, 1);
    EXPECT_FALSE(cat.Type(29).Signed);
    cat.LoadFamily(kQmx);
    EXPECT_EQ(cat.Type(29).Size, 2);
    EXPECT_TRUE(cat.Type(29).Signed);
}

TEST(ParamCatalogueTest, QmxTextsAreExact) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    ExpectTexts(cat, {
        {0, "SN"},
        {1, "0=Grand 1=QMX 2=BRSK 3=708 4=710 5=611 6=UltVrt 7=QMX+ 8=ZJ/1 9=ZJ/2 10=ZJ/3"},
        {3, ">0  visualizza data calibrazione"},
        {11, "Buzzer On pressione tasti,  0=Off, 1=On"},
        {12, "---"},
        {30, "LOW OHM Limite accetabilità"},
        {45, "ISO limite  0=0.05, 1=0.10, 2=0.23, 3=0.25, 4=0.5, 5=1, 6=100"},
        {70, "Tensione contatto  0=25V,  1=50V"},
        {84, "LOOP res. calib. cavo PE"},
        {85, "LOOP res. calib. cavo PE"},
        {93, "RCD I, 55mA  ofs"},
        {95, "RCD I, 600mA  ofs"},
        {110, "RCD, tipo gen  0=AC+, AC-, A+, A-, ACsel+. ACsel-, Asel+, Asel-, B+, B-"},
        {134, "KTZ44 tempo interveto MT,  0=0.035, 1=0.1"},
        {154, "TestFunc fatto"},
        {175, "PQA Azz. armononiche e RMS [mV FS]"},
        {176, "SYS   0=L-N-PE  o  1= L-L-PE"},
        {186, "SYS nome operatore 10mo caratt."},
        {193, "SYS  attiva LSO all'accensione"},
        {200, "EARTH Distanza misura tarra    1 a 25 m"},
        {201, "EARTH Unità misura distanza terra   0=metri ; 1=feet"},
        {204, "EARTH Offset misura R "},
    });
}

TEST(ParamCatalogueTest, LumTextsAreExact) {
    ParamCatalogue cat;
    cat.LoadFamily(kLum);
    ExpectTexts(cat, {
        {0, "SN"},
        {1, "Tipo 0=QS-LUM, 1=408t, 2=?? 31420"},
        {10, "Formato data  0=EU, 1=USA"},
        {11, "Buzzer pressione tasti 0=ON, 1=Off"},
        {23, "ADCext Ch7     Ofs"},
        {28, "RPE  calibrazione cavi  /100"},
        {37, "ISO  Correz DAC generaz.  Ofs  /100"},
        {39, "ISO PPE Lettura V  Ofs  /100"},
        {45, "ISO  Limite resit.  0=0.05 .. 5=1 MOhm"},
        {57, "ADC uP  K Vpn letta dal micro V>=48"},
        {93, "SYS 12mo carattere nome operatore"},
        {100, "SYS PowerOff  0=dis;  1=abil"},
        {102, "V ISO K tensione ramo P   SC<80V POS"},
        {106, "V ISO K tensione ramo E  SC<80V POS"},
        {111, "V ISO Ofs tensione ramo N   SC<80V NEG"},
        {127, "V ISO Valore resistenza ramo N  [Ohm]"},
        {129, "ISO  # intervento protezione misura ISO"},
    });
}

TEST(ParamCatalogueTest, CalibrationDateTextsInBothFamilies) {
    ParamCatalogue cat;
    for (const std::string& entry : {kQmx, kLum}) {
        SCOPED_TRACE(entry);
        cat.LoadFamily(entry);
        ExpectTexts(cat, {{5, "Calib. giorno"}, {6, "Calib. mese"}, {7, "Calib. anno"}});
    }
}

TEST(ParamCatalogueTest, DebugAndTestEntriesHaveTheirOwnText) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    for (int i : {61, 202}) {
        SCOPED_TRACE("31400 index " + std::to_string(i));
        EXPECT_FALSE(cat.Description(i).empty());
    }
    EXPECT_NE(cat.Description(61), cat.Description(202));

    // 31420 writes its own texts over those 31400 left at 27, 33 and 154.
    cat.LoadFamily(kLum);
    for (int i : {27, 33, 154}) {
        SCOPED_TRACE("31420 index " + std::to_string(i));
        EXPECT_FALSE(cat.Description(i).empty());
    }
    EXPECT_NE(cat.Description(27), "LOW OHM PE, ofs");
    EXPECT_NE(cat.Description(33), "AUX, ofs");
    EXPECT_NE(cat.Description(154), "TestFunc fatto");
    EXPECT_NE(cat.Description(27), cat.Description(33));
}

TEST(ParamCatalogueTest, NotSetEntriesKeepPreviousText) {
    // 78 and 131 are not part of 31400: empty after start-up.
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    EXPECT_EQ(cat.Description(78), "");
    EXPECT_EQ(cat.Description(131), "");
    EXPECT_EQ(cat.Description(77), "---");
    EXPECT_EQ(cat.Description(79), "LOOP potere interruzione kA, 1-999");
    EXPECT_EQ(cat.Description(130), "RCD AUTO tipo  0=AC,  1=A");
    EXPECT_EQ(cat.Description(132), "KTZ44 indice relazione Ka, I2t");

    // 14, 15 and 155 are not part of 31420: they keep the 31400 texts; so do the
    // indexes above 155, texts and types alike.
    cat.LoadFamily(kLum);
    ExpectTexts(cat, {
        {13, "ISO indice RLIM 0=0.05, 1=0.10"},
        {14, "---"},
        {15, "---"},
        {16, "ADCext Ch0  B2 Ofs"},
        {155, "PQA Volt  K"},
        {156, "PQA Curr  K"},
        {204, "EARTH Offset misura R "},
    });
    ExpectTypes(cat, {{156, 1, false}, {177, 2, true}, {204, 2, true}});

    // Back to 31400: 78 keeps what 31420 wrote there.
    cat.LoadFamily(kQmx);
    EXPECT_EQ(cat.Description(78), "MEM numero marcatore livello 3");
    EXPECT_EQ(cat.Description(131), "");
    EXPECT_EQ(cat.Description(14), "---");
    EXPECT_EQ(cat.Description(155), "PQA Volt  K");
    ExpectTypes(cat, kQmxTypes);
}

TEST(ParamCatalogueTest, LumEmptyEntriesOverwritePreviousText) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    cat.LoadFamily(kLum);
    for (int i : {50, 51, 56, 65, 68, 69, 73, 74, 75, 79, 80, 81, 94, 96, 99, 101, 128, 130, 142,
                  153}) {
        SCOPED_TRACE("index " + std::to_string(i));
        EXPECT_EQ(cat.Description(i), "");
    }
    // Neighbours of the empty ranges are written.
    ExpectTexts(cat, {
        {49, "ISO NE  Ofs lettura tensione ISO NE"},
        {52, "ADC uP Ofs chn VAD1 micro (B1 C)"},
        {67, "SYS Soglia allarme Iassorbita alta [mA]"},
        {70, "MEM Indice di vis. Stringa di livello 1"},
        {72, "MEM Indice di vis. Stringa di livello 3"},
        {76, "MEM numero marcatore livello 1"},
        {82, "SYS 1mo carattere nome operatore"},
        {126, "V ISO Valore resistenza ramo P  [Ohm]"},
    });
}

TEST(ParamCatalogueTest, OutOfRangeIndexesAreEmpty) {
    ParamCatalogue cat;
    for (const std::string& entry : {kQmx, kLum}) {
        SCOPED_TRACE(entry);
        cat.LoadFamily(entry);
        for (int i : {-1, 301, INT_MIN, INT_MAX}) {
            SCOPED_TRACE("index " + std::to_string(i));
            EXPECT_EQ(cat.Description(i), "");
            EXPECT_EQ(cat.Type(i).Size, 0);
            EXPECT_FALSE(cat.Type(i).Signed);
        }
        EXPECT_EQ(cat.Description(0), "SN");
        EXPECT_EQ(cat.Type(0).Size, 4);
    }
}
