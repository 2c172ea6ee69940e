#include "ParamCatalogue.h"

#include <span>

namespace {

// One row of a type table: width, signedness and the indexes it covers as a
// list such as "1-11, 31, 34-35".
struct TypeRow {
    int Size;
    bool Signed;
    const char* Indexes;
};

// One description, or one text shared by the range First..Last.
struct TextRow {
    constexpr TextRow(int index, const char* text) : First(index), Last(index), Text(text) {}
    constexpr TextRow(int first, int last, const char* text) : First(first), Last(last), Text(text) {}
    int First;
    int Last;
    const char* Text;
};

struct Family {
    const char* Entry;
    int LastIndex;
    std::span<const TypeRow> Types;
    std::span<const TextRow> Texts;
};

// ---------------------------------------------------------------- 31400 QMX, VERTA

constexpr TypeRow kTypes31400[] = {
    {1, false, "1-11, 31, 34, 35, 44-46, 61-66, 70-74, 76, 80-82, 87, 88, 98-101, 108-111, "
               "128-135, 137-140, 148, 149, 151-154, 156-162, 167, 169-176, 189, 190, 193-196, "
               "199-202"},
    {2, false, "24-28, 30, 36, 38, 40, 42, 47, 48, 50, 52-60, 67-69, 79, 83-86, 90, 92, 94, 96, "
               "102-107, 112, 114, 116, 118, 120, 122, 124, 126, 136, 141, 146, 147, 150, 155, "
               "163, 165, 168"},
    {2, true,  "29, 37, 39, 41, 43, 49, 51, 89, 91, 93, 95, 97, 113, 115, 117, 119, 121, 123, "
               "125, 127, 164, 166, 177-188, 191, 192, 197, 198, 203, 204"},
    {4, false, "0, 12-23, 32, 33, 75, 77, 78, 142-145"},
};

constexpr TextRow kTexts31400[] = {
    {0, "SN"},
    {1, "0=Grand 1=QMX 2=BRSK 3=708 4=710 5=611 6=UltVrt 7=QMX+ 8=ZJ/1 9=ZJ/2 10=ZJ/3"},
    {2, "Distributore 0=KV, 1=RDN, 2=OSLA 3=MERID"},
    {3, ">0  visualizza data calibrazione"},
    {4, "indice lingua"},
    {5, "Calib. giorno"},
    {6, "Calib. mese"},
    {7, "Calib. anno"},
    {8, "Funzione attiva"},
    {9, "Zona 0=EU, 1=extra EU, 2=Germ, 3=UK, 4=Norw, 5=USA, 6=Austr"},
    {10, "Formato data 0=EU, 1=USA"},
    {11, "Buzzer On pressione tasti,  0=Off, 1=On"},
    {12, "---"},
    {13, "---"},
    {14, "---"},
    {15, "---"},
    {16, "ADC CH0, offset"},
    {17, "ADC CH1, offset"},
    {18, "ADC CH2, offset"},
    {19, "ADC CH3, offset"},
    {20, "ADC CH4, offset"},
    {21, "ADC CH5, offset"},
    {22, "ADC CH6, offset"},
    {23, "ADC CH7, offset"},
    {24, "LOW OHM PN, K"},
    {25, "LOW OHM PN, ofs"},
    {26, "LOW OHM NPE, K"},
    {27, "LOW OHM PE, ofs"},
    {28, "LOW OHM PN, calib cavi"},
    {29, "LOW OHM NPE, calib cavi"},
    {30, "LOW OHM Limite accetabilità"},
    {31, "LOW OHM Timer, 3-99"},
    {32, "LOW OHM modo, 0=std, 1=timer"},
    {33, "AUX, ofs"},
    {34, "ISO Vgen  0=50, 1=100, 2=250, 3=500, 4=1000"},
    {35, "ISO modo,  0=manm 1=auto, 2=timer"},
    {36, "ISO DAC k gen"},
    {37, "ISO DAC ofs gen"},
    {38, "ISO PPE, lettura tensione, k"},
    {39, "ISO PPE, lettura tensione, ofs"},
    {40, "ISO PPE, corrente SC0, k"},
    {41, "ISO PPE, corrente SC0, ofs"},
    {42, "ISO PPE, corrente SC1, k"},
    {43, "ISO PPE, corrente SC1, ofs"},
    {44, "ISO tipo PPE, NPE, PN, .."},
    {45, "ISO limite  0=0.05, 1=0.10, 2=0.23, 3=0.25, 4=0.5, 5=1, 6=100"},
    {46, "ISO indice connessione 0=PPE, 1=NPE, 2=PN"},
    {47, "ISO tempo timer, 3-999"},
    {48, "ISO NPE, lettura tensione, k"},
    {49, "ISO NPE, lettura tensione, ofs"},
    {50, "ISO PN, lettura tensione, k"},
    {51, "ISO PN, lettura tensione, ofs"},
    {52, "ADC uP VAD1 (B1), offset"},
    {53, "ADC uP VAD2 (B2), offset"},
    {54, "ADC uP VAD3 (B3), offset"},
    {55, "ADC uP VAD4 (B4), offset"},
    {56, "ADC uP PE SENSE, offset"},
    {57, "ADC uP VPN, K"},
    {58, "ADC uP VPPE, K"},
    {59, "ADC uP VNPE, K"},
    {60, "ADC uP VPS, K"},
    {61, "debug: show Vpe of multimeter"},
    {62, "RCD HAGER, indice I gen"},
    {63, "LOOP/RCD, sistema  0=TT, 1=TN, 2=IT"},
    {64, "LOOP relazione misura STD, kA, I2t, .."},
    {65, "LOOP norma  0=IEC, 1=NEK"},
    {66, "LOOP modo,  0=LL, 1=LN"},
    {67, "LOOP norma NEK, k"},
    {68, "Tensione nominale,  0=110, 1=115, 2=..."},
    {69, "Frequenza sistema  0=50Hz, 1=60Hz"},
    {70, "Tensione contatto  0=25V,  1=50V"},
    {71, "RCD  0=I nominale,  1=I effettiva"},
    {72, "LOOP indice corrente magnetotermico"},
    {73, "LOOP Ra, indice Idn 0=6, 1=10, 2=30, 3=100, 4=300, 5=500, 6=650, 7=1000"},
    {74, "LOOP tempo intervento MT, 0=0.035, 1=0.1"},
    {75, "---"},
    {76, "LOOP norma  0=IEC, 1=NEK"},
    {77, "---"},
    // 78: not set, keeps the previous text
    {79, "LOOP potere interruzione kA, 1-999"},
    {80, "LOOP tipo fusibile  0=gG, 1=aM, ..."},
    {81, "LOOP modo, 0=FUSE, 1=MCB, 2=RCD"},
    {82, "LOOP tipo fusibile UK, 0=BS88, .."},
    {83, "LOOP res. calib. cavo N"},
    {84, "LOOP res. calib. cavo PE"},
    {85, "LOOP res. calib. cavo PE"},
    {86, "Backlight"},
    {87, "Indice ultime 30 mis"},
    {88, "LOOP Presenza calibrazione cavi utente"},
    {89, "LOOP Ra, 3F-2F offset"},
    {90, "LOOP Ra, 2F k"},
    {91, "LOOP Ra, 2F ofs"},
    {92, "RCD I, 55mA  k"},
    {93, "RCD I, 55mA  ofs"},
    {94, "RCD I, 600mA  k"},
    {95, "RCD I, 600mA  ofs"},
    {96, "RCD I, 9000mA  k"},
    {97, "RCD I, 9000mA  ofs"},
    {98, "RCD, 0=std,  1=con accessorio"},
    {99, "RCD, corrente con accessorio"},
    {100, "Power Off  1=abilita"},
    {101, "LOOP/RCD, start Auto  1=abilita"},
    {102, "LOOP  K"},
    {103, "LOOP  ofs"},
    {104, "LOOP IT, I<350mA  K_I"},
    {105, "LOOP IT, I<350mA  ofs_I"},
    {106, "LOOP IT, I>350mA  K_I"},
    {107, "LOOP IT, I>350mA  ofs_I"},
    {108, "RCD, preprova UT  1=attivo"},
    {109, "RCD, modo, 0=x1/2 1=x1 2=x5 3=auto, 4=rampa, 5=auto+rampa"},
    {110, "RCD, tipo gen  0=AC+, AC-, A+, A-, ACsel+. ACsel-, Asel+, Asel-, B+, B-"},
    {111, "RCD, I gen  0=6, 1=10, 2=30, 3=100 4=300, 5=500, 6=650, 7=1000"},
    {112, "Ra 6mA  K"},
    {113, "Ra 6mA  ofs"},
    {114, "Ra 10mA  K"},
    {115, "Ra 10mA  ofs"},
    {116, "Ra 30mA  K"},
    {117, "Ra 30mA  ofs"},
    {118, "Ra 100mA  K"},
    {119, "Ra 100mA  ofs"},
    {120, "Ra 300mA  K"},
    {121, "Ra 300mA  ofs"},
    {122, "Ra 500mA  K"},
    {123, "Ra 500mA  ofs"},
    {124, "Ra 650mA  K"},
    {125, "Ra 650mA  ofs"},
    {126, "Ra 1000mA  K"},
    {127, "Ra 1000mA  ofs"},
    {128, "RCD AUTO Idn 0=6, 1=10, 2=30, 3=100 4=300, 5=500, 6=650, 7=1000"},
    {129, "RCD AUTO modo  0=2F, 1=3F"},
    {130, "RCD AUTO tipo  0=AC,  1=A"},
    // 131: not set, keeps the previous text
    {132, "KTZ44 indice relazione Ka, I2t"},
    {133, "KTZ44 indice corrente MT"},
    {134, "KTZ44 tempo interveto MT,  0=0.035, 1=0.1"},
    {135, "KTZ44 indice tpo protezione,  0=B, 1=C, .."},
    {136, "KTZ44 potere interruzione kA, 1-999"},
    {137, "KTZ44 tipo fusibile  0=gG, 1=aM, ..."},
    {138, "KTZ44 modo, 0=FUSE, 1=MCB, 2=RCD"},
    {139, "KTZ44 tipo fusibile UK, 0=BS88, .."},
    {140, "Statistiche, anno scarico"},
    {141, "LOOP Ra, limite visualiz. misura rumorosa"},
    {142, "PQA, modo misura e visualizzazione"},
    {143, "MEM # marcatore livello 1"},
    {144, "MEM # marcatore livello 2"},
    {145, "MEM # marcatore livello 3"},
    {146, "MEM # misure in memoria"},
    {147, "LOW10A limite resistenza"},
    {148, "VDROP modo  LL, LN, CAL"},
    {149, "VDROP % limite caduta tensione"},
    {150, "VDROP corrente nominale"},
    {151, "Ra2 I>30mA  K"},
    {152, "Ra2 I>30mA  ofs"},
    {153, "PQA indice pinza (7=100A)"},
    {154, "TestFunc fatto"},
    {155, "PQA Volt  K"},
    {156, "PQA Curr  K"},
    {157, "PQA Volt azzer. [V] /10"},
    {158, "PQA Curr azzer %FS  /10"},
    {159, "PQA Volt azzer %Fond  /10"},
    {160, "AUX Modo misura  4=Lux2K"},
    {161, "AUX Tipo colore 0=white 1=color"},
    {162, "AUX Colore temperatura  def=3000"},
    {163, "AUX DC  K"},
    {164, "AUX DC  Ofs"},
    {165, "LEAK AC K"},
    {166, "LEAK AC Ofs"},
    {167, "LEAK indice pinza (7=100A)"},
    {168, "LEAK Esito lettura 300=30A su 100A_FS"},
    {169, "VBOC azzer. ramo (def=30) /10"},
    {170, "EVSE indice lista prove da fare"},
    {171, "EVSE indice sistemi 0=mono, 1=tri"},
    {172, "EVSE indice corrente  0=13A, ..3=63A"},
    {173, "EVSE Ventola  0=no, 1=si"},
    {174, "PQA Azz. armononiche V"},
    {175, "PQA Azz. armononiche e RMS [mV FS]"},
    {176, "SYS   0=L-N-PE  o  1= L-L-PE"},
    {177, "SYS nome operatore 1mo caratt."},
    {178, "SYS nome operatore 2mo caratt."},
    {179, "SYS nome operatore 3mo caratt."},
    {180, "SYS nome operatore 4mo caratt."},
    {181, "SYS nome operatore 5mo caratt."},
    {182, "SYS nome operatore 6mo caratt."},
    {183, "SYS nome operatore 7mo caratt."},
    {184, "SYS nome operatore 8mo caratt."},
    {185, "SYS nome operatore 9mo caratt."},
    {186, "SYS nome operatore 10mo caratt."},
    {187, "SYS nome operatore 11mo caratt."},
    {188, "SYS nome operatore 12mo caratt."},
    {189, "EVSE  RCD-A indice corrente  2=30mA"},
    {190, "EVSE  RCD-B indice corrente  0=6mA"},
    {191, "SYS   Fw"},
    {192, "RPE  Offset da aggiungere misura"},
    {193, "SYS  attiva LSO all'accensione"},
    {194, "EVSE  Indice generazione RCD in rampa"},
    {195, "EARTH Indice corrente Idn 0=6, 1=10, 2=30"},
    {196, "EARTH Indice modo misura  0=Ra, 1=Rho"},
    {197, "EARTH Limite res. Terra   1 a 999 Ohm"},
    {198, "EARTH Corrente di fault   1 a 999 A"},
    {199, "EARTH Tempo di intervento 0.04 a 10.0s"},
    {200, "EARTH Distanza misura tarra    1 a 25 m"},
    {201, "EARTH Unità misura distanza terra   0=metri ; 1=feet"},
    {202, "debug: switch Wi-Fi module on"},
    {203, "EARTH Fattore K misura R"},
    {204, "EARTH Offset misura R "},
};

// ---------------------------------------------------------------- 31420 QS-LUMPROB

constexpr TypeRow kTypes31420[] = {
    {1, false, "1-11, 13, 27, 29, 33-35, 45, 46, 70-72, 76-78, 100, 154"},
    {2, false, "12, 24, 26, 28, 30, 36, 38, 40, 42, 44, 47, 48, 50, 52-55, 57-64, 66, 67, 82-93"},
    {2, true,  "25, 31, 37, 39, 41, 43, 49"},
    {4, false, "0, 14-23, 32, 51, 56, 65, 68, 69, 73-75, 79-81, 94-99, 101, 102, 104, 106, 108, "
               "110, 112, 114, 116, 118, 120, 122, 124, 126-153, 155"},
    {4, true,  "103, 105, 107, 109, 111, 113, 115, 117, 119, 121, 123, 125"},
};

constexpr TextRow kTexts31420[] = {
    {0, "SN"},
    {1, "Tipo 0=QS-LUM, 1=408t, 2=?? 31420"},
    {2, "Distributore 0=KV, 1=RDN, 2=OSLA"},
    {3, ">0  visualizza data calibrazione"},
    {4, "indice lingua"},
    {5, "Calib. giorno"},
    {6, "Calib. mese"},
    {7, "Calib. anno"},
    {8, "indice Funzione attiva"},
    {9, "ISO #pannelli ricerca guasti"},
    {10, "Formato data  0=EU, 1=USA"},
    {11, "Buzzer pressione tasti 0=ON, 1=Off"},
    {12, "Backlight valore partenza"},
    {13, "ISO indice RLIM 0=0.05, 1=0.10"},
    // 14: not set, keeps the previous text
    // 15: not set, keeps the previous text
    {16, "ADCext Ch0  B2 Ofs"},
    {17, "ADCext Ch1  B4 Ofs"},
    {18, "ADCext Ch2  B3 Ofs"},
    {19, "ADCext Ch3  Iiso Ofs"},
    {20, "ADCext Ch4  Vec Ofs"},
    {21, "ADCext Ch5  Ilow Ofs"},
    {22, "ADCext Ch6  Vpv Ofs"},
    {23, "ADCext Ch7     Ofs"},
    {24, "RPE  K"},
    {25, "RPE  Ofs"},
    {26, "# misure"},
    {27, "debug: show insulation field without checks"},
    {28, "RPE  calibrazione cavi  /100"},
    {29, "Indice ultima misura"},
    {30, "RPE  limite da 0.01 a 9.99   /100"},
    {31, "RPE  timer 3..99"},
    {32, "RPE  modo 0=STD, 1=TMR"},
    {33, "debug: show insulation transformer temperature"},
    {34, "ISO  Viso  0=250; 1=500, 2=1000, 3=1500"},
    {35, "ISO  Mode  0=Dual, 1=TMR"},
    {36, "ISO  Correz DAC generaz.  K  /10000"},
    {37, "ISO  Correz DAC generaz.  Ofs  /100"},
    {38, "ISO PPE  Lettura V  K /10000"},
    {39, "ISO PPE Lettura V  Ofs  /100"},
    {40, "ISO PPE K misura di corrente sc0"},
    {41, "ISO PPE Ofs misura di corrente sc0"},
    {42, "ISO PPE K misura di corrente sc1"},
    {43, "ISO PPE Ofs misura di corrente sc1"},
    {44, "ISO  Tipo misura"},
    {45, "ISO  Limite resit.  0=0.05 .. 5=1 MOhm"},
    {46, "SYS  Anno scarico STAT"},
    {47, "ISO Tempo misura TIMER [3-999s]"},
    {48, "ISO NE  K lettura tensione ISO NE"},
    {49, "ISO NE  Ofs lettura tensione ISO NE"},
    {50, 51, ""},
    {52, "ADC uP Ofs chn VAD1 micro (B1 C)"},
    {53, "ADC uP Ofs chn VAD2 micro (B2 E)"},
    {54, "ADC uP Ofs chn VAD3 micro (B3 N)"},
    {55, "ADC uP Ofs chn VAD4 micro (B4 P)"},
    {56, ""},
    {57, "ADC uP  K Vpn letta dal micro V>=48"},
    {58, "ADC uP  K Vpe letta dal micro V>=48"},
    {59, "ADC uP  K Vne letta dal micro V>=48"},
    {60, "ADC uP  K Vce letta dal micro V>=48"},
    {61, "ADC uP  K Vpn letta dal micro V<48"},
    {62, "ADC uP  K Vpe letta dal micro V<48"},
    {63, "ADC uP  K Vne letta dal micro V<48"},
    {64, "ADC uP  K Vce letta dal micro V<48"},
    {65, ""},
    {66, "SYS Soglia allarme temp alta [bit]"},
    {67, "SYS Soglia allarme Iassorbita alta [mA]"},
    {68, 69, ""},
    {70, "MEM Indice di vis. Stringa di livello 1"},
    {71, "MEM Indice di vis. Stringa di livello 2"},
    {72, "MEM Indice di vis. Stringa di livello 3"},
    {73, 75, ""},
    {76, "MEM numero marcatore livello 1"},
    {77, "MEM numero marcatore livello 2"},
    {78, "MEM numero marcatore livello 3"},
    {79, 81, ""},
    {82, "SYS 1mo carattere nome operatore"},
    {83, "SYS 2mo carattere nome operatore"},
    {84, "SYS 3mo carattere nome operatore"},
    {85, "SYS 4mo carattere nome operatore"},
    {86, "SYS 5mo carattere nome operatore"},
    {87, "SYS 6mo carattere nome operatore"},
    {88, "SYS 7mo carattere nome operatore"},
    {89, "SYS 8mo carattere nome operatore"},
    {90, "SYS 9mo carattere nome operatore"},
    {91, "SYS 10mo carattere nome operatore"},
    {92, "SYS 11mo carattere nome operatore"},
    {93, "SYS 12mo carattere nome operatore"},
    {94, 99, ""},
    {100, "SYS PowerOff  0=dis;  1=abil"},
    {101, ""},
    {102, "V ISO K tensione ramo P   SC<80V POS"},
    {103, "V ISO Ofs tensione ramo P  SC<80V POS"},
    {104, "V ISO K tensione ramo N   SC<80V POS"},
    {105, "V ISO Ofs tensione ramo N  SC<80V POS"},
    {106, "V ISO K tensione ramo E  SC<80V POS"},
    {107, "V ISO Ofs tensione ramo E  SC<80V POS"},
    {108, "V ISO K tensione ramo P  SC<80V NEG"},
    {109, "V ISO Ofs tensione ramo P  SC<80V NEG"},
    {110, "V ISO K tensione ramo N   SC<80V NEG"},
    {111, "V ISO Ofs tensione ramo N   SC<80V NEG"},
    {112, "V ISO K tensione ramo E   SC<80V NEG"},
    {113, "V ISO Ofs tensione ramo E   SC<80V NEG"},
    {114, "V ISO K tensione ramo P   SC>80V POS"},
    {115, "V ISO Ofs tensione ramo P   SC>80V POS"},
    {116, "V ISO K tensione ramo N   SC>80V POS"},
    {117, "V ISO Ofs tensione ramo N   SC>80V POS"},
    {118, "V ISO K tensione ramo E   SC>80V POS"},
    {119, "V ISO Ofs tensione ramo E   SC>80V POS"},
    {120, "V ISO K tensione ramo P   SC>80V NEG"},
    {121, "V ISO Ofs tensione ramo P   SC>80V NEG"},
    {122, "V ISO K tensione ramo N   SC>80V NEG"},
    {123, "V ISO Ofs tensione ramo N   SC>80V NEG"},
    {124, "V ISO K tensione ramo E   SC>80V NEG"},
    {125, "V ISO Ofs tensione ramo E   SC>80V NEG"},
    {126, "V ISO Valore resistenza ramo P  [Ohm]"},
    {127, "V ISO Valore resistenza ramo N  [Ohm]"},
    {128, ""},
    {129, "ISO  # intervento protezione misura ISO"},
    {130, 153, ""},
    {154, "test marker: production function test passed"},
    // 155: not set, keeps the previous text

};

constexpr Family kFamilies[] = {
    {"31400 QMX, VERTA", 204, kTypes31400, kTexts31400},
    {"31420 QS-LUMPROB", 155, kTypes31420, kTexts31420},
};

// Calls f(first, last) for every "a" or "a-b" item of an index list; returns
// false when the list is malformed.
template <typename F>
constexpr bool ForEachRange(const char* list, F f) {
    const char* p = list;
    auto number = [&p](int& out) {
        if (*p < '0' || *p > '9') return false;
        out = 0;
        while (*p >= '0' && *p <= '9') out = out * 10 + (*p++ - '0');
        return true;
    };
    while (*p != '\0') {
        int first = 0;
        if (!number(first)) return false;
        int last = first;
        if (*p == '-') {
            ++p;
            if (!number(last)) return false;
        }
        f(first, last);
        if (*p == ',') {
            ++p;
            if (*p == ' ') ++p;
        } else if (*p != '\0') {
            return false;
        }
    }
    return true;
}

// The type rows of a family name every index 0..last exactly once.
constexpr bool CoversEachIndexOnce(std::span<const TypeRow> rows, int last) {
    int hits[ParamCatalogue::kLastIndex + 1] = {};
    bool ok = true;
    for (const TypeRow& row : rows) {
        ok = ok && ForEachRange(row.Indexes, [&](int a, int b) {
            if (a > b || a < 0 || b > last) {
                ok = false;
                return;
            }
            for (int i = a; i <= b; ++i) ++hits[i];
        });
    }
    for (int i = 0; i <= last; ++i) ok = ok && hits[i] == 1;
    return ok;
}

// Description rows are in ascending index order, without overlap, inside 0..last.
constexpr bool TextsInOrder(std::span<const TextRow> rows, int last) {
    int next = 0;
    for (const TextRow& row : rows) {
        if (row.First < next || row.Last < row.First || row.Last > last) return false;
        next = row.Last + 1;
    }
    return true;
}

static_assert(CoversEachIndexOnce(kTypes31400, 204));
static_assert(CoversEachIndexOnce(kTypes31420, 155));
static_assert(TextsInOrder(kTexts31400, 204));
static_assert(TextsInOrder(kTexts31420, 155));

const std::string kEmpty;

bool InRange(int index) { return index >= 0 && index <= ParamCatalogue::kLastIndex; }

}  // namespace

std::optional<int> ParamCatalogue::LoadFamily(const std::string& entry) {
    for (const Family& family : kFamilies) {
        if (entry != family.Entry) continue;
        for (const TypeRow& row : family.Types) {
            ForEachRange(row.Indexes, [&](int first, int last) {
                for (int i = first; i <= last; ++i) types_[i] = ParamType{row.Size, row.Signed};
            });
        }
        for (const TextRow& row : family.Texts) {
            for (int i = row.First; i <= row.Last; ++i) descriptions_[i] = row.Text;
        }
        return family.LastIndex;
    }
    return std::nullopt;
}

const std::string& ParamCatalogue::Description(int index) const {
    return InRange(index) ? descriptions_[index] : kEmpty;
}

ParamType ParamCatalogue::Type(int index) const {
    return InRange(index) ? types_[index] : ParamType{};
}
