#!/usr/bin/env python3
"""Invents the built-in ship list of the control panel (shipdata/ships.tsv).

Every row is made up here: names are combinations of words, places and people's
names, call signs follow the ITU prefix blocks of the flag behind the MMSI, IMO
numbers carry a valid check digit, and the dimensions follow the usual size
classes of each kind of ship. No row comes from a ship register.

The generator is seeded with a fixed start value, so running it again writes the
same file byte for byte. Python 3 standard library only.

    python3 scripts/generate-ship-table.py [--output shipdata/ships.tsv]
"""

import argparse
import pathlib
import random
import sys

START_VALUE = 20240611  # fixed start value of random.Random: same table on every run
ROW_COUNT = 4299
EMPTY_MMSI_ROWS = 2
EMPTY_IMO_ROWS = 23
MAX_NAME_CHARS = 29
MAX_CALL_SIGN_CHARS = 8

# Type text -> number of rows carrying it.
TYPE_COUNTS = [
    ("Cargo, all ships of this type", 2766),
    ("Tanker, all ships of this type", 1106),
    ("Cargo, No additional information", 266),
    ("Tug", 8),
    ("PASSENGER", 86),
    ("CONTAINER CARRIER", 23),
    ("MULTI PURPOSE", 19),
    ("Cargo-Passenger vessel", 9),
    ("OBO", 5),
    ("GEN.CARGO-HEAVY LIFT", 3),
    ("ORE/OIL CARRIER", 2),
    ("COMBI TRADER", 1),
    ("COMMERCIAL YACHT", 1),
    ("DREDGER AND UNDERWATER OPERATIONS", 1),
    ("HEAVY LIFT CARRIER", 1),
    ("MRT", 1),
    ("NAVY", 1),
]

# ---------------------------------------------------------------------------
# Flags: weight among merchant ships, maritime identification digits, call sign
# patterns. In a pattern "@" is a capital letter, "#" a digit and "{ABC}" one of
# the listed characters; everything else is literal.
# ---------------------------------------------------------------------------
FLAGS = {
    "PANAMA": (19.0, [351, 352, 353, 354, 355, 356, 357, 370, 371, 372, 373, 374],
               ["3E@@#", "3F@@#", "3F@@@#", "3F@@@", "H3@@", "H8@@#", "H9@@", "H9@@#",
                "HO@@", "HO@@#", "HP@@#"]),
    "LIBERIA": (14.0, [636], ["A8@@#", "A8@@", "D5@@#", "5L@@#", "EL@@#"]),
    "MARSHALL ISLANDS": (12.0, [538], ["V7@@#", "V7@@@#", "V7@@"]),
    "MALTA": (7.0, [215, 229, 248, 249, 256], ["9HA####", "9H@@#", "9H####"]),
    "HONG KONG": (7.0, [477], ["VR@@#", "VR@@@"]),
    "SINGAPORE": (6.0, [563, 564, 565, 566], ["9V####", "9V@@#", "S6@@#", "9V@@@"]),
    "GREECE": (5.0, [237, 239, 240, 241], ["SV@@", "SV@@#", "SX@@", "SY@@", "SZ@@", "SW@@"]),
    "CHINA": (5.0, [412, 413, 414], ["B@@@", "B@@@#", "BO@@", "BQ@@"]),
    "BAHAMAS": (3.0, [308, 309, 311], ["C6@@#", "C6@@@#"]),
    "CYPRUS": (3.0, [209, 210, 212], ["5B@@#", "5B@@@", "C4@@#", "P3@@#"]),
    "NORWAY": (2.5, [257, 258, 259], ["L{ABCDEFGHIJKLMN}@@#", "L{ABCDEFGHIJKLMN}@@", "3Y@@"]),
    "DENMARK": (2.0, [219, 220], ["OZ@@#", "OU@@#", "OW@@#", "OX@@#", "OY@@#"]),
    "NETHERLANDS": (2.0, [244, 245, 246], ["P{ABCDEFGHI}@@", "P{BCDH}@@#"]),
    "GERMANY": (2.0, [211, 218], ["D{ABCDFGHJ}@@", "D{ABCDFGHJ}@@#"]),
    "JAPAN": (2.0, [431, 432], ["7{JKLMN}@@", "J{ABCDEFGHIJKLMNOPQRS}@@", "8{JKLMN}@@"]),
    "KOREA": (2.0, [440, 441], ["D{789}@@", "D{789}@@#", "DS@@#", "DT@@#"]),
    "MALAYSIA": (1.5, [533], ["9M@@#", "9W@@#", "9M@@@"]),
    "INDONESIA": (1.5, [525], ["P{KLMNO}@@", "Y{BCDEFGH}@@", "P{KLMNO}@@#"]),
    "INDIA": (1.2, [419], ["AV@@", "AT@@", "VT@@", "VW@@", "8T@@"]),
    "RUSSIA": (1.2, [273], ["U{ABCDEFGHI}@@", "U{ABCDEFGHI}@@#"]),
    "UNITED KINGDOM": (1.2, [232, 233, 234, 235], ["M@@@#", "G@@@", "2@@@#"]),
    "ITALY": (1.0, [247], ["I@@@", "I@@@#"]),
    "TURKEY": (1.0, [271], ["TC@@#", "TC@@@", "YM@@#"]),
    "ANTIGUA": (1.5, [304, 305], ["V2@@#", "V2@@@"]),
    "MADEIRA": (1.0, [255], ["CQ@@#", "CQ@@@"]),
    "ST VINCENT": (1.0, [375, 376, 377], ["J8@@#", "J8@@@", "J8B####"]),
    "BELIZE": (0.6, [312], ["V3@@#", "V3@@@"]),
    "BELGIUM": (0.4, [205], ["O{RST}@@", "O{RST}@@#"]),
    "FRANCE": (0.5, [226, 227, 228], ["F@@@", "F{MNO}@@", "F@@@#"]),
    "SPAIN": (0.4, [224, 225], ["E{ABCDEFGH}@@", "E{ABCDEFGH}@@#"]),
    "USA": (0.6, [338, 366, 367, 368, 369], ["WD@####", "K@@@", "W@@@#"]),
    "VIETNAM": (0.6, [574], ["3W@@#", "XV@@", "3W@@"]),
    "PHILIPPINES": (0.5, [548], ["D{UVWXYZ}@@", "4{DEFGHI}@@#"]),
    "THAILAND": (0.4, [567], ["HS@@#", "HS@@@", "E2@@#"]),
    "SAUDI ARABIA": (0.3, [403], ["HZ@@", "HZ@@#", "7Z@@"]),
    "UNITED ARAB EMIRATES": (0.3, [470, 471], ["A6@@#", "A6@@@"]),
    "SWEDEN": (0.4, [265, 266], ["S{ABCDEFGHIJKLM}@@", "S{ABCDEFGHIJKLM}@@#"]),
    "FINLAND": (0.4, [230], ["O{GHIJ}@@", "O{GHIJ}@@#"]),
    "POLAND": (0.2, [261], ["S{NOPQR}@@"]),
    "CROATIA": (0.3, [238], ["9A@@#", "9A@@@"]),
    "TUVALU": (0.3, [572], ["T2@@#", "T2@@@"]),
    "COMOROS": (0.3, [616], ["D6@@#"]),
    "SIERRA LEONE": (0.4, [667], ["9L@@#", "9L@@@"]),
    "TOGO": (0.4, [671], ["5V@@#", "5V@@@"]),
    "TANZANIA": (0.2, [677], ["5I@@#", "5H@@#"]),
    "COOK ISLANDS": (0.3, [518], ["E5U####", "E5@@#"]),
    "PALAU": (0.3, [511], ["T8A####", "T8@@#"]),
    "BARBADOS": (0.3, [314], ["8P@@#", "8P@@@"]),
    "JAMAICA": (0.1, [339], ["6Y@@#"]),
    "EGYPT": (0.2, [622], ["SU@@", "SU@@@", "SS@@"]),
    "IRAN": (0.2, [422], ["EP@@#", "EP@@@", "9B@@"]),
    "BRAZIL": (0.2, [710], ["P{PQRSTUVWXY}@@", "P{PQRSTUVWXY}@@#"]),
    "BERMUDA": (0.2, [310], ["ZC@@#", "ZC@@@"]),
    "GIBRALTAR": (0.2, [236], ["ZD@@#", "ZD@@@"]),
    "LUXEMBOURG": (0.1, [253], ["LX@@", "LX@@#"]),
    "SWITZERLAND": (0.1, [269], ["HB@@", "HB@@@"]),
    "KIRIBATI": (0.2, [529], ["T3@@#", "T3@@@"]),
    "VANUATU": (0.2, [576, 577], ["YJ@@#", "YJ@@@"]),
    "CAYMAN ISLANDS": (0.2, [319], ["ZC@@#", "ZC@@@#"]),
    "PORTUGAL": (0.2, [263], ["CQ@@", "CS@@", "CT@@"]),
}

# Harbour craft, ferries and state ships mostly sail under a national flag.
NATIONAL_FLAGS = ["GREECE", "ITALY", "NORWAY", "DENMARK", "NETHERLANDS", "GERMANY", "JAPAN",
                  "KOREA", "CHINA", "UNITED KINGDOM", "FRANCE", "SPAIN", "SWEDEN", "FINLAND",
                  "TURKEY", "CROATIA", "INDONESIA", "PHILIPPINES", "RUSSIA", "USA", "MALTA",
                  "CYPRUS", "SINGAPORE", "HONG KONG"]

# ---------------------------------------------------------------------------
# Words for names.
# ---------------------------------------------------------------------------
LEADS = """OCEAN SEA STAR SUN MOON NORD NORDIC ARCTIC ATLANTIC PACIFIC BALTIC AEGEAN IONIAN
ADRIATIC CORAL AMBER JADE PEARL CRYSTAL DIAMOND EMERALD SAPPHIRE RUBY ORIENT ASIAN EURO GLOBAL
UNITED INTER TRANS MARINE INDIAN CASPIAN AFRICAN CARIBBEAN GOLDEN SILVER BLUE GREEN WHITE GRAND
ROYAL NOBLE BRIGHT LUCKY HAPPY GENTLE BRAVE SWIFT FAIR GREAT NEW EASTERN WESTERN NORTHERN
SOUTHERN CENTRAL PRIME ALPHA DELTA OMEGA SIGMA POLAR TROPIC SEVEN TWIN FIRST TRUE CLEAR
EVER FORTUNE GLORY PRIDE SPIRIT MAPLE CEDAR OLIVE LOTUS ORCHID JASMINE IRIS TULIP LILY LAUREL
IRON STEEL COPPER COBALT GRANITE MARBLE ONYX TOPAZ OPAL AGATE INDIGO SCARLET AZURE CRIMSON
IVORY VELVET SILK SPICE AMAZON NILE DANUBE RHINE VOLGA YANGTZE MEKONG GANGES TAGUS SEINE
ELBE ODER ORINOCO PARANA ZAMBEZI CONGO HUDSON YUKON FRASER""".split()

TAILS = """STAR SPIRIT WAVE TRADER CARRIER PIONEER VOYAGER EXPLORER NAVIGATOR HARMONY DREAM GLORY
PRIDE VENTURE FORTUNE HORIZON BREEZE WIND DAWN LIGHT PHOENIX EAGLE FALCON HAWK DOLPHIN ALBATROSS
PELICAN CONDOR OSPREY HERON SWAN MERCHANT MARINER CHALLENGER CHAMPION COURAGE DESTINY ENDEAVOUR
ENTERPRISE FREEDOM GUARDIAN HARVEST HERITAGE HOPE JOURNEY JUBILEE LEGACY LEGEND LIBERTY MAJESTY
MISSION ODYSSEY PATRIOT PROGRESS PROMISE PROSPERITY QUEST RANGER SPLENDOUR SUCCESS SUMMIT
SUNRISE SUNSET TRIUMPH UNITY VALOUR VICTORY VISION WARRIOR WISDOM ZENITH BRIDGE GATE CROWN
ARROW ANCHOR COMPASS BEACON ISLAND BAY COAST SHORE LAGOON RIVER VALLEY PEAK MOUNTAIN FOREST
GARDEN FLOWER BLOSSOM ROSE LOTUS ORCHID JEWEL TREASURE PALM CASTLE PALACE TOWER HARBOUR
CURRENT TIDE SWELL GALE STORM THUNDER""".split()

BULK_TAILS = """BULKER MAJESTY PROSPERITY HARVEST GRAIN ORE MINER CARRIER TRADER FORTUNE ACE
VENTURE ENTERPRISE STRENGTH POWER GIANT TITAN ATLAS PROGRESS""".split()
BULK_LEADS = """CAPE MINERAL IRON COAL GRAIN ORE STEEL BULK GRANITE COBALT NICKEL BAUXITE
CLINKER CEMENT TIMBER SUGAR""".split()
TANKER_TAILS = """SPIRIT VOYAGER ENERGY PROGRESS NAVIGATOR CHALLENGER ENDEAVOUR PRIDE GLORY
EXPLORER PIONEER RANGER SUN STAR HORIZON CREST DAWN""".split()
TANKER_LEADS = """PETRO CHEM OIL CRUDE NAFTA GAS FUEL ENERGY AROMA SOLVENT BITUMEN ASPHALT
TORCH FLAME OLEUM DIESEL""".split()
GAS_TAILS = """GAS LNG LPG METHANE ETHANE PROPANE ENERGY""".split()
CONTAINER_TAILS = """EXPRESS BRIDGE TRADER LINK CONNECTOR BRIDGE HIGHWAY TRIUMPH SPIRIT
GATEWAY SERVICE""".split()
PASSENGER_TAILS = """PRINCESS QUEEN EXPRESS STAR SPIRIT DREAM JEWEL PEARL BREEZE VOYAGER
FERRY LINK GLORY""".split()
TUG_NAMES = """HERCULES TITAN ATLAS SAMSON GOLIATH TRITON NEPTUNE POSEIDON AJAX ACHILLES
HECTOR TAURUS BISON BUFFALO GRIZZLY RHINO MAMMOTH COLOSSUS BRUTUS MAGNUS VULCAN THOR ODIN
HEIMDAL TYR""".split()
YACHT_NAMES = ["WHY NOT?", "SEA BREEZE", "LADY ANNE", "BLUE HORIZON", "SILVER CLOUD",
               "SOLITAIRE", "MOONLIGHT II", "OCEAN WHISPER"]
NAVY_LEADS = ["ADMIRAL", "COMMANDANT", "CAPITAN", "KAPITAN", "COMMODORE"]

PLACES = """ATHENS PIRAEUS CRETE RHODES ANDROS KEA CHIOS LESVOS SAMOS TINOS NAXOS PAROS
MYKONOS SANTORINI HYDRA SPETSES CORFU ITHACA KEFALONIA ZAKYNTHOS OLYMPUS PATMOS SKYROS MILOS
HAMBURG BREMEN BERGEN OSLO MALMO ROTTERDAM ANTWERP GENOA NAPLES VALENCIA LISBON PORTO DUBLIN
CARDIFF GLASGOW BOSTON BALTIMORE HOUSTON SEATTLE VANCOUVER SANTOS LIMA SHANGHAI TIANJIN
QINGDAO NINGBO XIAMEN DALIAN YOKOHAMA KOBE OSAKA BUSAN ULSAN MANILA JAKARTA MADRAS BOMBAY
COLOMBO KARACHI ADEN MUSCAT DOHA DUBAI JEDDAH SUEZ ALEXANDRIA TANGIER DAKAR LAGOS LUANDA
DURBAN MOMBASA ZANZIBAR MALABAR CORNWALL DEVON KENT SUSSEX YORK ORKNEY SHETLAND HEBRIDES
BRITTANY NORMANDY PROVENCE TUSCANY SICILY SARDINIA CORSICA MALAGA CADIZ BILBAO GALICIA
ASTURIAS ANDALUSIA MADEIRA AZORES CANARIA TENERIFE IBIZA MAJORCA MENORCA CYPRUS BOSPHORUS
MARMARA IZMIR ISTANBUL TRABZON ODESSA CRIMEA RIGA TALLINN GDANSK STETTIN KIEL LUBECK
ROSTOCK AALBORG ODENSE GOTLAND OLAND TROMSO LOFOTEN NARVIK STAVANGER TRONDHEIM FLORIDA
GEORGIA CAROLINA VIRGINIA MARYLAND MAINE ALASKA HAWAII TEXAS OREGON QUEBEC ONTARIO
MANITOBA VICTORIA TASMANIA QUEENSLAND KIMBERLEY PILBARA BORNEO JAVA SUMATRA CELEBES
MINDANAO LUZON HOKKAIDO KYUSHU SHIKOKU OKINAWA HAINAN FUJIAN ZHEJIANG JIANGSU SHANDONG
LIAONING GUANGDONG KERALA GUJARAT BENGAL ORISSA MALABAR CHILE PATAGONIA TIERRA BAHIA
PARANA RECIFE CEARA""".split()

FEMALE = """MARIA ELENI ANNA SOFIA CHRISTINA KATERINA ANGELIKI DIMITRA DESPINA IRENE ALEXANDRA
JOANNA KATHARINA LENA LISA ANNIKA INGRID HELGA FREYA LAURA CLARA EMMA JULIA NINA OLGA TATIANA
ELENA MARINA ROSA LUCIA CARMEN ISABEL VICTORIA BEATRICE CAROLINE CHARLOTTE AMELIA STELLA
ATHINA ZOE GEORGIA VASILIKI EVANGELIA PANAGIOTA KALLIOPI ARIADNE PENELOPE DAPHNE THALIA
AGLAIA KRISTINA ASTRID SIGRID BIRGIT GRETA MARGARETA ELISABETH JOHANNA MARTHA HANNA ANITA
MONICA SILVIA PAOLA GIULIA FRANCESCA CHIARA SERENA DANIELA INES TERESA PILAR MERCEDES AURORA
NATALIA SVETLANA LUDMILA VERA GALINA ALINA YUKI SAKURA HANA MEI LIN""".split()

MALE = """NIKOLAOS GEORGIOS DIMITRIOS KONSTANTINOS IOANNIS ANDREAS PANAGIOTIS VASSILIS
MICHALIS STAVROS ALEXANDROS ARISTIDES THEODOROS MANOLIS SPYROS YANNIS KOSTAS PETROS PAVLOS
HANS PETER JOHANN ERIK LARS OLAF SVEN KARL HENRIK JAN PIETER MARCO LUCA PAOLO ANTONIO CARLOS
JUAN MIGUEL JOSE PEDRO JOHN JAMES WILLIAM THOMAS ROBERT DAVID MARTIN FREDERIK CHRISTIAN
NIELS JENS KNUT HARALD MAGNUS EMIL VIKTOR IVAN SERGEI NIKOLAI MIKHAIL ANDREI PAVEL
ALEKSANDR ENZO MATTEO RICARDO FERNANDO RAFAEL DIEGO MATEO""".split()

SURNAMES = """PAPADOPOULOS KOSTOPOULOS GEORGIOU NIKOLAOU ANDREADIS VLASSOPOULOS LEMOS
KARRAS MAVROS PETRAKIS HANSEN JENSEN NIELSEN LARSEN OLSEN BERG LUND HOLM STRAND DAHL KRAUSE
BECKER MEYER SCHULTE VOGEL DEVRIES BAKKER VISSER ROSSI BIANCHI ESPOSITO ROMANO GARCIA
LOPEZ MARTINEZ SANTOS FERREIRA OLIVEIRA SMITH BROWN WILSON TAYLOR MORGAN EVANS IVANOV
PETROV SOKOLOV VOLKOV YILMAZ DEMIR KAYA CELIK TANAKA SATO SUZUKI WATANABE""".split()

SAINTS = """NIKOLAOS GEORGIOS DIMITRIOS SPYRIDON ANDREAS MARKOS IOANNIS FANOURIOS
GERASIMOS NEKTARIOS PANTELEIMON MINAS THEODOROS""".split()

CHINESE = """AN BAO CHANG CHENG DA DE DONG FENG FU GUANG HAI HANG HE HENG HONG HUA HUI JI
JIA JIN JING KANG LI LONG MING NAN PING QIANG RONG RUI SHENG SHUN TAI TIAN TONG WAN WEI XIN
XING YANG YI YONG YU YUAN ZHONG ZHOU""".split()
CHINESE_ENDINGS = ["HAI", "YANG", "ZHOU", "SHAN", "JIANG", "MEN", "KOU"]

JAPANESE = """SHINYO KOYO TAIYO KAIYO SEIYO HOKKO TOKO KYOKUYO SHOWA HEISEI EIWA SEIWA
FUJI SAKURA MATSU KIKU ASAHI HAKUYO SHOYO TAISEI KAISEI HOSHI MIZUHO YAMATO""".split()

HYPHEN_LEADS = ["TRANS", "EURO", "INTER", "PAN", "AFRO", "INDO", "SINO", "NORD", "BALT"]
HYPHEN_TAILS = ["ATLANTIC", "PACIFIC", "ASIA", "AFRICA", "BALTIC", "CARIBBEAN", "ORIENT", "EUROPE",
                "MED", "GULF"]

ROMAN = ["II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X"]


def Pick(rng, items):
    return items[rng.randrange(len(items))]


def Numeral(rng):
    roll = rng.random()
    if roll < 0.45:
        return Pick(rng, ROMAN[:4])
    if roll < 0.85:
        return str(rng.randint(1, 28))
    return "NO." + str(rng.randint(1, 12))


def WithNumeral(rng, name, chance):
    return name + " " + Numeral(rng) if rng.random() < chance else name


def PersonName(rng):
    roll = rng.random()
    if roll < 0.35:
        return Pick(rng, FEMALE)
    if roll < 0.55:
        return Pick(rng, FEMALE) + " " + Pick(rng, "ABCDEFGHIJKLMNOPRSTV")
    if roll < 0.70:
        return Pick(rng, MALE) + " " + Pick(rng, SURNAMES)
    if roll < 0.80:
        return "CAPTAIN " + Pick(rng, SURNAMES)
    if roll < 0.90:
        return "AGIOS " + Pick(rng, SAINTS)
    if roll < 0.985:
        return "ST. " + Pick(rng, MALE + FEMALE)
    return Pick(rng, FEMALE + MALE) + "'S " + Pick(rng, ["DREAM", "PRIDE", "LEGACY", "PROMISE", "HOPE"])


def ChineseName(rng):
    syllables = [Pick(rng, CHINESE) for _ in range(rng.choice([2, 2, 3]))]
    if rng.random() < 0.5:
        syllables.append(Pick(rng, CHINESE_ENDINGS))
    return WithNumeral(rng, " ".join(syllables), 0.25)


def JapaneseName(rng):
    name = Pick(rng, JAPANESE) + " MARU"
    return name + " NO." + str(rng.randint(1, 18)) if rng.random() < 0.3 else name


def GenericName(rng, tails, leads=LEADS):
    roll = rng.random()
    if roll < 0.45:
        name = Pick(rng, leads) + " " + Pick(rng, tails)
    elif roll < 0.65:
        name = Pick(rng, PLACES) + " " + Pick(rng, tails)
    elif roll < 0.86:
        name = PersonName(rng)
    elif roll < 0.91:
        name = Pick(rng, PLACES)
    elif roll < 0.94:
        name = Pick(rng, HYPHEN_LEADS) + "-" + Pick(rng, HYPHEN_TAILS) + " " + Pick(rng, tails)
    else:
        name = Pick(rng, tails) + " OF " + Pick(rng, PLACES)
    return WithNumeral(rng, name, 0.12)


def ShipName(rng, kind, flag):
    if kind == "tug":
        return WithNumeral(rng, Pick(rng, TUG_NAMES), 0.5) if rng.random() < 0.7 else PersonName(rng)
    if kind == "yacht":
        return Pick(rng, YACHT_NAMES)
    if kind == "navy":
        return Pick(rng, NAVY_LEADS) + " " + Pick(rng, SURNAMES)
    if flag in ("CHINA", "HONG KONG") and rng.random() < 0.45:
        return ChineseName(rng)
    if flag == "JAPAN" and rng.random() < 0.6:
        return JapaneseName(rng)
    if flag in ("GREECE", "CYPRUS", "MALTA") and rng.random() < 0.35:
        return WithNumeral(rng, PersonName(rng), 0.15)
    if kind == "bulk":
        if rng.random() < 0.35:
            return WithNumeral(rng, Pick(rng, BULK_LEADS) + " " + Pick(rng, LEADS + FEMALE + PLACES), 0.1)
        return GenericName(rng, TAILS + BULK_TAILS)
    if kind == "tanker":
        if rng.random() < 0.3:
            return WithNumeral(rng, Pick(rng, TANKER_LEADS) + " " + Pick(rng, LEADS + PLACES), 0.1)
        return GenericName(rng, TANKER_TAILS + TAILS)
    if kind == "gas":
        return WithNumeral(rng, Pick(rng, LEADS + PLACES) + " " + Pick(rng, GAS_TAILS), 0.2)
    if kind == "container":
        return WithNumeral(rng, Pick(rng, PLACES + LEADS) + " " + Pick(rng, CONTAINER_TAILS), 0.15)
    if kind == "passenger":
        roll = rng.random()
        if roll < 0.3:
            return Pick(rng, PLACES)
        if roll < 0.5:
            return "SPIRIT OF " + Pick(rng, PLACES)
        return Pick(rng, LEADS + PLACES) + " " + Pick(rng, PASSENGER_TAILS)
    return GenericName(rng, TAILS)


# ---------------------------------------------------------------------------
# Size classes: name kind, then length (m), beam (m) and draught (m) drawn from
# ranges; a beam given as a ratio follows from the length. Fixed beams are the
# canal-limited widths that shipyards build to.
# ---------------------------------------------------------------------------
PANAMA_BEAMS = ["32.2", "32.24", "32.25", "32.26", "32.3"]


def SizeClass(kind, length, beam, draught):
    """length is (low, high); beam is ("ratio", low, high) of length to beam, ("range", low,
    high) or ("fixed", [texts]); draught is (low, high) or ("share", low, high) of the length."""
    return {"kind": kind, "length": length, "beam": beam, "draught": draught}


CLASSES = {
    "coastal": SizeClass("cargo", (80, 125), ("ratio", 5.6, 7.2), ("share", 0.055, 0.07)),
    "general": SizeClass("cargo", (125, 170), ("ratio", 5.8, 7.0), ("share", 0.055, 0.065)),
    "handysize": SizeClass("bulk", (160, 190), ("range", 27.0, 30.5), (9.5, 10.8)),
    "supramax": SizeClass("bulk", (185, 200), ("fixed", PANAMA_BEAMS), (11.8, 13.3)),
    "panamax": SizeClass("bulk", (222, 229.99), ("fixed", PANAMA_BEAMS), (13.8, 14.6)),
    "postpanamax": SizeClass("bulk", (235, 255), ("range", 38, 43), (14.2, 15.0)),
    "capesize": SizeClass("bulk", (286, 300), ("range", 45, 50), (17.5, 18.5)),
    "vloc": SizeClass("bulk", (320, 330), ("range", 55, 57), (21.0, 23.0)),
    "feeder": SizeClass("container", (130, 185), ("ratio", 6.2, 7.4), ("share", 0.05, 0.058)),
    "boxship": SizeClass("container", (250, 330), ("ratio", 6.6, 7.5), (12.5, 15.5)),
    "carcarrier": SizeClass("cargo", (180, 200), ("fixed", PANAMA_BEAMS), (8.8, 10.0)),
    "reefer": SizeClass("cargo", (130, 160), ("ratio", 6.3, 7.2), (7.5, 9.5)),
    "coastaltanker": SizeClass("tanker", (80, 120), ("ratio", 5.6, 7.0), ("share", 0.055, 0.07)),
    "chemical": SizeClass("tanker", (110, 150), ("ratio", 5.8, 7.0), ("share", 0.055, 0.065)),
    "mr": SizeClass("tanker", (178, 186), ("fixed", PANAMA_BEAMS), (11.0, 13.3)),
    "lr1": SizeClass("tanker", (219, 229), ("fixed", PANAMA_BEAMS), (13.5, 14.5)),
    "aframax": SizeClass("tanker", (240, 250), ("range", 42, 44), (14.5, 15.2)),
    "suezmax": SizeClass("tanker", (272, 285), ("range", 46, 50), (16.5, 17.5)),
    "vlcc": SizeClass("tanker", (325, 330), ("range", 57, 60), (20.5, 22.5)),
    "lpg": SizeClass("gas", (100, 230), ("ratio", 5.8, 6.8), ("share", 0.048, 0.056)),
    "lng": SizeClass("gas", (285, 300), ("range", 43, 49), (11.3, 12.5)),
    "tug": SizeClass("tug", (22, 45), ("ratio", 2.8, 3.5), (3.2, 5.8)),
    "smallferry": SizeClass("passenger", (40, 95), ("ratio", 4.5, 6.5), (2.2, 4.2)),
    "ropax": SizeClass("passenger", (120, 215), ("ratio", 5.6, 7.4), (5.5, 7.1)),
    "cruise": SizeClass("passenger", (180, 300), ("ratio", 6.8, 8.8), (6.8, 8.6)),
    "multipurpose": SizeClass("cargo", (100, 170), ("ratio", 5.6, 7.0), ("share", 0.055, 0.065)),
    "cargopassenger": SizeClass("passenger", (60, 180), ("ratio", 5.2, 6.8), (3.5, 7.0)),
    "obo": SizeClass("bulk", (240, 290), ("ratio", 5.8, 6.6), (14.0, 17.0)),
    "heavylift": SizeClass("cargo", (110, 170), ("ratio", 5.5, 6.5), ("share", 0.055, 0.065)),
    "oreoil": SizeClass("bulk", (300, 330), ("range", 52, 57), (19.0, 22.0)),
    "combi": SizeClass("cargo", (88, 130), ("ratio", 5.8, 7.0), ("share", 0.055, 0.065)),
    "yacht": SizeClass("yacht", (45, 85), ("ratio", 5.2, 6.2), (2.8, 4.4)),
    "dredger": SizeClass("cargo", (85, 140), ("ratio", 4.6, 5.6), (5.5, 8.5)),
    "semisub": SizeClass("cargo", (150, 220), ("ratio", 4.8, 5.6), (7.0, 10.0)),
    "mrt": SizeClass("tanker", (120, 180), ("ratio", 5.8, 6.8), ("share", 0.055, 0.065)),
    "navy": SizeClass("navy", (100, 180), ("ratio", 6.5, 8.5), (5.0, 8.0)),
}

# Type text -> size classes with their weights.
TYPE_CLASSES = {
    "Cargo, all ships of this type": [("coastal", 14), ("general", 10), ("handysize", 14),
                                      ("supramax", 14), ("panamax", 13), ("postpanamax", 4),
                                      ("capesize", 9), ("vloc", 2), ("feeder", 8), ("boxship", 6),
                                      ("carcarrier", 3), ("reefer", 3)],
    "Cargo, No additional information": [("coastal", 30), ("general", 20), ("handysize", 12),
                                         ("supramax", 10), ("panamax", 8), ("capesize", 4),
                                         ("feeder", 8), ("reefer", 4)],
    "Tanker, all ships of this type": [("coastaltanker", 12), ("chemical", 12), ("mr", 22),
                                       ("lr1", 8), ("aframax", 16), ("suezmax", 12), ("vlcc", 10),
                                       ("lpg", 5), ("lng", 5)],
    "Tug": [("tug", 1)],
    "PASSENGER": [("smallferry", 4), ("ropax", 4), ("cruise", 2)],
    "CONTAINER CARRIER": [("feeder", 3), ("boxship", 2)],
    "MULTI PURPOSE": [("multipurpose", 1)],
    "Cargo-Passenger vessel": [("cargopassenger", 1)],
    "OBO": [("obo", 1)],
    "GEN.CARGO-HEAVY LIFT": [("heavylift", 1)],
    "ORE/OIL CARRIER": [("oreoil", 1)],
    "COMBI TRADER": [("combi", 1)],
    "COMMERCIAL YACHT": [("yacht", 1)],
    "DREDGER AND UNDERWATER OPERATIONS": [("dredger", 1)],
    "HEAVY LIFT CARRIER": [("semisub", 1)],
    "MRT": [("mrt", 1)],
    "NAVY": [("navy", 1)],
}

# Kinds of ship that mostly fly a national flag, and those that are often old.
NATIONAL_KINDS = {"tug", "passenger", "yacht", "navy"}


def DecimalText(rng, value, weights):
    """The value as a decimal text with 0, 1 or 2 decimals (chosen by weight), without trailing
    zeros: 45, 288.9, 14.37."""
    decimals = rng.choices([0, 1, 2], weights=weights)[0]
    text = f"{value:.{decimals}f}"
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return text


def Dimensions(rng, sizeClass):
    lengthM = rng.uniform(*sizeClass["length"])
    beamRule = sizeClass["beam"]
    if beamRule[0] == "fixed":
        beamText = Pick(rng, beamRule[1])
        beamM = float(beamText)
    else:
        if beamRule[0] == "ratio":
            beamM = lengthM / rng.uniform(beamRule[1], beamRule[2])
        else:
            beamM = rng.uniform(beamRule[1], beamRule[2])
        if sizeClass["kind"] == "tug":
            beamM = min(max(beamM, 8.0), 14.0)
        beamText = DecimalText(rng, beamM, [35, 45, 20])
    draughtRule = sizeClass["draught"]
    if draughtRule[0] == "share":
        draughtM = lengthM * rng.uniform(draughtRule[1], draughtRule[2])
    else:
        draughtM = rng.uniform(draughtRule[0], draughtRule[1])
    lengthText = DecimalText(rng, lengthM, [20, 55, 25])
    draughtText = DecimalText(rng, draughtM, [20, 40, 40])
    return lengthText, beamText, draughtText


def CallSign(rng, pattern):
    out = []
    i = 0
    while i < len(pattern):
        c = pattern[i]
        if c == "@":
            out.append(Pick(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
        elif c == "#":
            out.append(Pick(rng, "0123456789"))
        elif c == "{":
            end = pattern.index("}", i)
            out.append(Pick(rng, pattern[i + 1:end]))
            i = end
        else:
            out.append(c)
        i += 1
    return "".join(out)


def Mmsi(rng, mids):
    mid = str(Pick(rng, mids))
    roll = rng.random()
    if roll < 0.78:
        return mid + f"{rng.randint(0, 999):03d}" + "000"
    if roll < 0.93:
        return mid + f"{rng.randint(0, 9999):04d}" + "00"
    return mid + f"{rng.randint(0, 999999):06d}"


def ImoCheckDigit(firstSix):
    return sum(int(d) * w for d, w in zip(firstSix, (7, 6, 5, 4, 3, 2))) % 10


def Imo(rng, kind):
    roll = rng.random()
    old = kind in ("passenger", "tug", "navy", "yacht")
    if roll < (0.60 if old else 0.85):
        first = rng.randint(900000, 989999)
    elif roll < (0.80 if old else 0.93):
        first = rng.randint(800000, 899999)
    elif roll < (0.93 if old else 0.99):
        first = rng.randint(700000, 799999)
    else:
        first = rng.randint(500000, 699999)
    digits = str(first)
    return digits + str(ImoCheckDigit(digits))


def FlagFor(rng, kind):
    if kind in NATIONAL_KINDS:
        return Pick(rng, NATIONAL_FLAGS)
    names = list(FLAGS)
    return rng.choices(names, weights=[FLAGS[n][0] for n in names])[0]


def Generate():
    rng = random.Random(START_VALUE)
    types = [text for text, count in TYPE_COUNTS for _ in range(count)]
    assert len(types) == ROW_COUNT, len(types)
    rng.shuffle(types)

    emptyMmsiRows = set(rng.sample(range(ROW_COUNT), EMPTY_MMSI_ROWS))
    navyRow = types.index("NAVY")
    emptyImoRows = {navyRow} | set(rng.sample([i for i in range(ROW_COUNT) if i != navyRow],
                                              EMPTY_IMO_ROWS - 1))

    usedNames, usedCallSigns, usedMmsis, usedImos = set(), set(), set(), set()
    rows = []
    for index, typeText in enumerate(types):
        classNames = TYPE_CLASSES[typeText]
        className = rng.choices([c for c, _ in classNames], weights=[w for _, w in classNames])[0]
        sizeClass = CLASSES[className]
        kind = sizeClass["kind"]
        flag = FlagFor(rng, kind)
        _, mids, patterns = FLAGS[flag]

        # A name may come round again, but only now and then.
        while True:
            name = ShipName(rng, kind, flag)
            if len(name) > MAX_NAME_CHARS:
                continue
            if name not in usedNames or rng.random() < 0.1:
                break
        usedNames.add(name)

        while True:
            callSign = CallSign(rng, Pick(rng, patterns))
            if len(callSign) <= MAX_CALL_SIGN_CHARS and callSign not in usedCallSigns:
                break
        usedCallSigns.add(callSign)

        mmsi = ""
        if index not in emptyMmsiRows:
            while True:
                mmsi = Mmsi(rng, mids)
                if mmsi not in usedMmsis:
                    break
            usedMmsis.add(mmsi)

        imo = ""
        if index not in emptyImoRows:
            while True:
                imo = Imo(rng, kind)
                if imo not in usedImos:
                    break
            usedImos.add(imo)

        length, beam, draught = Dimensions(rng, sizeClass)
        rows.append((name, callSign, mmsi, imo, typeText, length, beam, draught))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default = pathlib.Path(__file__).resolve().parent.parent / "panel" / "data" / "ships.tsv"
    parser.add_argument("--output", type=pathlib.Path, default=default)
    args = parser.parse_args()

    rows = Generate()
    header = "# name\tcall sign\tMMSI\tIMO\ttype\tlength (m)\tbeam (m)\tdraught (m)"
    with open(args.output, "w", encoding="ascii", newline="\n") as out:
        out.write(header + "\n")
        for row in rows:
            out.write("\t".join(row) + "\n")
    print(f"wrote {len(rows)} rows to {args.output}", file=sys.stderr)


if __name__ == "__main__":
    main()
