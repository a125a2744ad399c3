#!/usr/bin/env python3
"""Writes the sample data folder's CSV sources: AutoMake.csv, VinTrans.csv and
Yarvel.csv. The output is deterministic; the CSVs are committed, so run this
only after changing the tables below:  python3 make_sample.py

The generated master holds a few hundred ordinary descriptions; the cases the
program and its tests rely on are written out by hand in SPECIAL_RECORDS and
listed in README.md.
"""

import csv
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Abbreviation, name, world manufacturer identifiers (cars first, then trucks).
MAKES = [
    ("ACUR", "Acura", ["JH4", "19U"]),
    ("AUDI", "Audi", ["WAU"]),
    ("BMW", "BMW", ["WBA", "5UX"]),
    ("BUIC", "Buick", ["1G4", "5GA"]),
    ("CADI", "Cadillac", ["1G6", "1GY"]),
    ("CHEV", "Chevrolet", ["1G1", "1GN", "1GC"]),
    ("CHRY", "Chrysler", ["1C3", "2C4"]),
    ("DODG", "Dodge", ["1B3", "1D7", "2B4"]),
    ("FORD", "Ford", ["1FA", "1FM", "1FT"]),
    ("GMC", "GMC", ["1GT", "1GK"]),
    ("HOND", "Honda", ["1HG", "5FN", "2HK"]),
    ("HYUN", "Hyundai", ["KMH", "5NM"]),
    ("INFI", "Infiniti", ["JNK", "JN8"]),
    ("ISU", "Isuzu", ["JAA", "4S2"]),
    ("JAGU", "Jaguar", ["SAJ"]),
    ("JEEP", "Jeep", ["1J4", "1C4"]),
    ("KIA", "Kia", ["KNA", "KND"]),
    ("LEXU", "Lexus", ["JTH", "JTJ"]),
    ("LINC", "Lincoln", ["1LN", "5LM"]),
    ("LNDR", "Land Rover", ["SAL"]),
    ("MAZD", "Mazda", ["JM1", "4F2"]),
    ("MERC", "Mercury", ["1ME", "4M2"]),
    ("MERZ", "Mercedes-Benz", ["WDB", "4JG"]),
    ("MITS", "Mitsubishi", ["JA3", "JA4"]),
    ("NISS", "Nissan", ["1N4", "5N1", "1N6"]),
    ("OLDS", "Oldsmobile", ["1G3"]),
    ("PLYM", "Plymouth", ["1P3"]),
    ("PONT", "Pontiac", ["1G2"]),
    ("PORS", "Porsche", ["WP0", "WP1"]),
    ("RR", "Rolls-Royce & Bentley", ["SCA", "SCB"]),
    ("SAAB", "Saab", ["YS3"]),
    ("SATR", "Saturn", ["1G8"]),
    ("SUBA", "Subaru", ["JF1", "4S4"]),
    ("TOYT", "Toyota", ["JT2", "4T1", "5TD"]),
    ("VOLK", "Volkswagen", ["WVW", "3VW"]),
    ("VOLV", "Volvo", ["YV1", "YV4"]),
]

# Model year letters of the 10th VIN position, 1980 to 2009, repeating from 2010.
YEAR_CODES = "ABCDEFGHJKLMNPRSTVWXY123456789"


def year_code(year):
    return YEAR_CODES[(year - 1980) % 30]


# Per make: (model name, model code for VIN positions 4-5, WMI index, first
# year, last year, class code, [(body style, body code, cylinders code,
# engine size, engine type, four-wheel drive)]).
MODELS = {
    "ACUR": [("INTEGRA", "DB", 0, 1986, 2001, "SP", [("HATCHBACK 3D", "3", "4", "1.8", "", "")]),
             ("TL", "UA", 0, 1996, 2014, "LX", [("SEDAN 4D", "6", "6", "3.2", "", "")]),
             ("MDX", "YD", 0, 2001, 2027, "SU", [("UTIL 4D 4X4", "8", "6", "3.5", "", "4")])],
    "AUDI": [("A4", "DC", 0, 1996, 2027, "LX", [("SEDAN 4D", "2", "4", "2.0", "T", ""),
                                                 ("WAGON 4D", "8", "6", "3.0", "", "4")]),
             ("Q5", "FG", 0, 2009, 2027, "SU", [("UTIL 4D 4X4", "F", "4", "2.0", "T", "4")])],
    "BMW": [("325I", "AA", 0, 1985, 2005, "LX", [("SEDAN 4D", "1", "6", "2.5", "", "")]),
            ("X5", "FA", 1, 2000, 2027, "SU", [("UTIL 4D 4X4", "7", "6", "3.0", "", "4")])],
    "BUIC": [("CENTURY", "AG", 0, 1985, 2005, "PC", [("SEDAN 4D", "5", "6", "3.1", "", "")]),
             ("ENCLAVE", "KR", 1, 2008, 2027, "SU", [("UTIL 4D", "D", "6", "3.6", "", "")])],
    "CADI": [("DEVILLE", "KD", 0, 1985, 2005, "LX", [("SEDAN 4D", "5", "8", "4.6", "", "")]),
             ("ESCALADE", "EK", 1, 1999, 2027, "SU", [("UTIL 4D 4X4", "6", "8", "6.2", "", "4")])],
    "CHEV": [("CAMARO", "FP", 0, 1985, 2027, "SP", [("COUPE 2D", "2", "8", "5.7", "", ""),
                                                     ("CONVERTIBLE", "3", "6", "3.6", "", "")]),
             ("MALIBU", "ND", 0, 1997, 2024, "PC", [("SEDAN 4D", "5", "4", "2.4", "", "")]),
             ("TAHOE", "EK", 1, 1995, 2027, "SU", [("UTIL 4D 4X4", "1", "8", "5.3", "", "4")]),
             ("SILVERADO 1500", "CK", 2, 1999, 2027, "PU", [("PICKUP", "1", "8", "5.3", "", "4")])],
    "CHRY": [("TOWN & COUNTRY", "GP", 1, 1990, 2016, "MV", [("GRAND TOURING VAN", "5", "6", "3.6", "", "")]),
             ("300", "LA", 0, 2005, 2023, "LX", [("SEDAN 4D", "3", "6", "3.6", "", "")])],
    "DODG": [("CARAVAN", "GH", 2, 1985, 2020, "MV", [("VAN", "4", "6", "3.3", "", "")]),
             ("DAKOTA", "GL", 1, 1987, 2011, "PU", [("PICKUP", "2", "6", "3.9", "", "")]),
             ("RAM 2500", "KS", 1, 1994, 2010, "PU", [("PICKUP 4X4", "2", "6", "5.9", "X", "4")])],
    "FORD": [("TAURUS", "PS", 0, 1986, 2019, "PC", [("SEDAN 4D", "5", "6", "3.0", "", ""),
                                                     ("WAGON 4D", "7", "6", "3.0", "", "")]),
             ("EXPLORER", "ZU", 1, 1991, 2027, "SU", [("UTIL 4D 4X4", "7", "6", "4.0", "", "4")]),
             ("F150", "TF", 2, 1985, 2027, "PU", [("PICKUP", "1", "8", "5.0", "", ""),
                                                   ("PICKUP 4X4", "4", "6", "3.5", "T", "4")])],
    "GMC": [("SIERRA 1500", "EK", 0, 1988, 2027, "PU", [("PICKUP 4X4", "1", "8", "5.3", "", "4")]),
            ("YUKON", "FK", 1, 1992, 2027, "SU", [("UTIL 4D 4X4", "1", "8", "5.3", "", "4")])],
    "HOND": [("CIVIC", "ED", 0, 1985, 2027, "PC", [("SEDAN 4D", "6", "4", "1.8", "", ""),
                                                    ("COUPE 2D", "2", "4", "1.8", "", "")]),
             ("ODYSSEY", "RL", 1, 1995, 2027, "MV", [("VAN", "3", "6", "3.5", "", "")]),
             ("CR-V", "RD", 2, 1997, 2027, "SU", [("UTIL 4D 4X4", "7", "4", "2.4", "", "4")])],
    "HYUN": [("SONATA", "EU", 0, 1989, 2027, "PC", [("SEDAN 4D", "4", "4", "2.4", "", "")]),
             ("TUCSON", "JT", 1, 2005, 2027, "SU", [("UTIL 4D", "C", "4", "2.0", "", "")])],
    "INFI": [("G35", "CV", 0, 2003, 2008, "LX", [("SEDAN 4D", "5", "6", "3.5", "", "")]),
             ("QX56", "AA", 1, 2004, 2013, "SU", [("UTIL 4D 4X4", "8", "8", "5.6", "", "4")])],
    "ISU": [("TROOPER", "DS", 1, 1985, 2002, "SU", [("UTIL 4D 4X4", "8", "6", "3.5", "", "4")]),
            ("RODEO", "CH", 1, 1991, 2004, "SU", [("UTIL 4D", "5", "4", "2.6", "", "")])],
    "JAGU": [("XJ6", "HX", 0, 1986, 1997, "LX", [("SEDAN 4D", "1", "6", "4.0", "", "")]),
             ("F-TYPE", "AD", 0, 2014, 2024, "SP", [("COUPE 2D", "2", "6", "3.0", "T", "")])],
    "JEEP": [("CHEROKEE", "FJ", 0, 1985, 2001, "SU", [("UTIL 4D 4X4", "7", "6", "4.0", "", "4")]),
             ("WRANGLER", "JW", 1, 1987, 2027, "SU", [("UTIL 2D 4X4", "1", "6", "3.6", "", "4")]),
             ("GRAND CHEROKEE", "GZ", 0, 1993, 2027, "SU", [("UTIL 4D 4X4", "8", "8", "5.7", "", "4")])],
    "KIA": [("SORENTO", "JC", 1, 2003, 2027, "SU", [("UTIL 4D", "5", "6", "3.3", "", "")]),
            ("RIO", "DC", 0, 2001, 2023, "PC", [("SEDAN 4D", "1", "4", "1.6", "", "")])],
    "LEXU": [("ES 300", "BF", 0, 1992, 2003, "LX", [("SEDAN 4D", "1", "6", "3.0", "", "")]),
             ("RX 350", "HK", 1, 2007, 2027, "SU", [("UTIL 4D 4X4", "3", "6", "3.5", "", "4")])],
    "LINC": [("TOWN CAR", "FM", 0, 1985, 2011, "LX", [("SEDAN 4D", "8", "8", "4.6", "", "")]),
             ("NAVIGATOR", "DU", 1, 1998, 2027, "SU", [("UTIL 4D 4X4", "2", "8", "5.4", "", "4")])],
    "LNDR": [("RANGE ROVER", "MF", 0, 1987, 2027, "LX", [("UTIL 4D 4X4", "1", "8", "5.0", "", "4")]),
             ("DISCOVERY", "JY", 0, 1994, 2027, "SU", [("UTIL 4D 4X4", "2", "6", "3.0", "T", "4")])],
    "MAZD": [("MIATA MX-5", "NA", 0, 1990, 2027, "SP", [("CONVERTIBLE", "3", "4", "2.0", "", "")]),
             ("MAZDA3", "BK", 0, 2004, 2027, "PC", [("SEDAN 4D", "1", "4", "2.5", "", "")]),
             ("RX-7", "FC", 0, 1985, 1995, "SP", [("COUPE 2D", "3", "R", "1.3", "T", "")])],
    "MERC": [("GRAND MARQUIS", "FM", 0, 1985, 2011, "PC", [("SEDAN 4D", "7", "8", "4.6", "", "")]),
             ("MOUNTAINEER", "ZU", 1, 1997, 2010, "SU", [("UTIL 4D 4X4", "8", "8", "4.6", "", "4")])],
    "MERZ": [("E320", "EA", 0, 1994, 2009, "LX", [("SEDAN 4D", "6", "6", "3.2", "", ""),
                                                   ("SEDAN 4D DIESEL", "2", "6", "3.0", "D", "")]),
             ("ML350", "AB", 1, 1998, 2015, "SU", [("UTIL 4D 4X4", "5", "6", "3.5", "", "4")])],
    "MITS": [("GALANT", "AA", 0, 1985, 2012, "PC", [("SEDAN 4D", "6", "4", "2.4", "", "")]),
             ("OUTLANDER", "LS", 1, 2003, 2027, "SU", [("UTIL 4D 4X4", "4", "4", "2.4", "", "4")])],
    "NISS": [("ALTIMA", "AL", 0, 1993, 2027, "PC", [("SEDAN 4D", "1", "4", "2.5", "", "")]),
             ("PATHFINDER", "AR", 1, 1987, 2027, "SU", [("UTIL 4D 4X4", "8", "6", "3.5", "", "4")]),
             ("FRONTIER", "DD", 2, 1998, 2027, "PU", [("PICKUP", "2", "6", "4.0", "", "")])],
    "OLDS": [("CUTLASS SUPREME", "WH", 0, 1985, 1997, "PC", [("COUPE 2D", "1", "6", "3.1", "", "")]),
             ("AURORA", "GR", 0, 1995, 2003, "LX", [("SEDAN 4D", "2", "8", "4.0", "", "")])],
    "PLYM": [("VOYAGER", "GH", 0, 1985, 2000, "MV", [("VAN", "4", "6", "3.3", "", "")]),
             ("NEON", "SS", 0, 1995, 2001, "PC", [("SEDAN 4D", "4", "4", "2.0", "", "")])],
    "PONT": [("FIREBIRD", "FS", 0, 1985, 2002, "SP", [("COUPE 2D", "2", "8", "5.7", "", "")]),
             ("GRAND PRIX", "WP", 0, 1988, 2008, "PC", [("SEDAN 4D", "5", "6", "3.8", "", "")])],
    "PORS": [("911 CARRERA", "AA", 0, 1985, 2027, "SP", [("COUPE 2D", "2", "6", "3.0", "T", "")]),
             ("CAYENNE", "AC", 1, 2003, 2027, "SU", [("UTIL 4D 4X4", "2", "8", "4.8", "", "4")])],
    "RR": [("SILVER SPUR", "LZ", 0, 1985, 1999, "LX", [("SEDAN 4D", "4", "8", "6.8", "", "")]),
           ("CONTINENTAL GT", "CR", 1, 2004, 2027, "LX", [("COUPE 2D", "3", "W", "6.0", "T", "4")])],
    "SAAB": [("900", "AD", 0, 1985, 1998, "PC", [("HATCHBACK 3D", "3", "4", "2.0", "T", "")]),
             ("9-3", "FB", 0, 1999, 2011, "PC", [("SEDAN 4D", "4", "4", "2.0", "T", "")])],
    "SATR": [("SL", "ZF", 0, 1991, 2002, "PC", [("SEDAN 4D", "5", "4", "1.9", "", "")]),
             ("VUE", "ZZ", 0, 2002, 2010, "SU", [("UTIL 4D", "6", "4", "2.2", "", "")])],
    "SUBA": [("LEGACY", "BE", 0, 1990, 2027, "PC", [("SEDAN 4D", "6", "4", "2.5", "", "4"),
                                                     ("WAGON 4D", "8", "4", "2.5", "", "4")]),
             ("OUTBACK", "BP", 1, 2000, 2027, "SW", [("WAGON 4D", "6", "4", "2.5", "", "4")])],
    "TOYT": [("CAMRY", "BE", 1, 1985, 2027, "PC", [("SEDAN 4D", "3", "4", "2.4", "", ""),
                                                    ("SEDAN 4D HYBRID", "4", "4", "2.5", "", "")]),
             ("COROLLA", "AE", 0, 1985, 2027, "PC", [("SEDAN 4D", "1", "4", "1.8", "", "")]),
             ("4RUNNER", "BU", 2, 1985, 2027, "SU", [("UTIL 4D 4X4", "8", "6", "4.0", "", "4")])],
    "VOLK": [("JETTA", "RA", 1, 1985, 2027, "PC", [("SEDAN 4D", "1", "4", "2.0", "", ""),
                                                    ("SEDAN 4D TDI", "3", "4", "1.9", "X", "")]),
             ("GOLF", "DA", 0, 1985, 2021, "PC", [("HATCHBACK 3D", "2", "4", "2.0", "", "")])],
    "VOLV": [("240", "AA", 0, 1985, 1993, "PC", [("WAGON 4D", "8", "4", "2.3", "", "")]),
             ("XC90", "CZ", 1, 2003, 2027, "SU", [("UTIL 4D 4X4", "5", "6", "3.2", "", "4")])],
}

CYLINDERS = {"3": "3", "4": "4", "5": "5", "6": "6", "8": "8", "R": "2", "T": "10", "W": "12"}
ENGINE_TYPES = {"T": "Turbo", "D": "Diesel", "X": "Turbo Diesel", "N": "Natural Gas"}
CLASSES = {"PC": "Passenger Car", "SP": "Sports", "LX": "Luxury", "SU": "Sport Utility",
           "PU": "Pickup", "MV": "Minivan", "SW": "Station Wagon"}
TRANSMISSIONS = {"A4": "4-Speed Automatic", "A5": "5-Speed Automatic", "A6": "6-Speed Automatic",
                 "A8": "8-Speed Automatic", "M5": "5-Speed Manual", "M6": "6-Speed Manual",
                 "CVT": "Continuously Variable"}
OTHER_INFO = {"HYBRID": "Hybrid Electric", "FLEX": "Flexible Fuel", "PZEV": "Partial Zero Emission"}

# Master fields in schema order.
FIELDS = ["VIN", "IIN", "REC_TYPE", "MANUFACT", "MODELNAME", "BODYSTYLE", "ENGNSIZE", "ENGN_CYLN",
          "ENGN_TYPE", "FOURWHDRV", "CONT_PERF", "REST_IND", "ANTILCKBRK", "DAYRLIND", "ANTITHEFT",
          "SPLINFOSEL", "MODELINFO", "BODYINFO", "ENGNINFO", "RESTINFO", "TRANSINFO", "NOTCLASINF",
          "TWODIGVSR", "VSRSYM", "TWODIGNVSR", "NON_VSRSYM", "CLASSCODE", "STAT_EXEP", "COMP_SYM",
          "COLL_SYM", "PRICE_SYM", "EFF_DATE"]

VSR_LETTERS = "JKLMNPRSTUVW"


def restraint(year, seq):
    if year < 1990:
        return "A"                      # no passive restraint
    if year < 1995:
        return "BDH"[seq % 3]           # driver
    if year < 2000:
        return "2EF"[seq % 3]           # driver and passenger
    return "1456GJKQ"[seq % 8]          # front and side


def record_type(year):
    return 3 if year >= 2011 else 1


def describe(make, wmi, model, code, year, sub, body, seq):
    body_style, body_code, cyl, size, etype, fwd = body
    # The 10th position repeats every 30 years; as in real VINs, a later
    # series tells itself apart elsewhere (here the 8th position).
    vds = code + body_code + cyl[0] + ("ABCDEFGH" if year < 2010 else "JKLMNPRS")[sub % 8]
    vin = wmi + vds + "&" + year_code(year)
    rest = restraint(year, seq)
    symbol = 5 + (seq * 7 + year) % 22
    old_style = year < 1993             # letters only, as the early data had them
    trans = ("A4" if year < 2000 else "A5" if year < 2008 else "A6" if year < 2018 else "A8"
             if seq % 3 else "CVT")
    if body_style.startswith(("COUPE", "CONVERTIBLE")) and seq % 2:
        trans = "M5" if year < 2005 else "M6"
    rec = {
        "VIN": vin,
        "IIN": "%02d%02d" % (year % 100, seq % 100),
        "REC_TYPE": str(record_type(year)),
        "MANUFACT": make,
        "MODELNAME": model,
        "BODYSTYLE": body_style,
        "ENGNSIZE": size,
        "ENGN_CYLN": cyl,
        "ENGN_TYPE": etype,
        "FOURWHDRV": fwd,
        "CONT_PERF": "IHSP"[seq % 4] if body_style.startswith(("COUPE", "CONVERTIBLE",
                                                                "HATCHBACK")) else "",
        "REST_IND": rest,
        "ANTILCKBRK": "" if year < 1988 else "N" if year < 1992 else "O" if year < 1999 else "S",
        "DAYRLIND": "" if year < 1995 else "O" if year < 2002 else "S",
        "ANTITHEFT": "" if year < 1992 else "APD"[seq % 3],
        "SPLINFOSEL": "" if seq % 5 else "MBERTOACGHVWXYZ"[seq % 15],
        "MODELINFO": ("BASE", "LX", "EX", "SPORT", "LIMITED", "PREMIUM")[seq % 6],
        "BODYINFO": body_style.split()[0],
        "ENGNINFO": "%sL %s CYL" % (size, CYLINDERS[cyl]) + (" TURBO" if etype in "TX" and etype
                                                             else ""),
        "RESTINFO": {"A": "NONE", "B": "DRIVER AIRBAG", "D": "DRIVER AIRBAG",
                     "H": "DRIVER AIRBAG", "2": "DUAL AIRBAGS", "E": "DUAL AIRBAGS",
                     "F": "DUAL AIRBAGS"}.get(rest, "FRONT/SIDE AIRBAGS"),
        "TRANSINFO": trans,
        "NOTCLASINF": "HYBRID" if "HYBRID" in body_style else "",
        "TWODIGVSR": "" if old_style else "%02d" % symbol,
        "VSRSYM": VSR_LETTERS[symbol % 12] if old_style else "",
        "TWODIGNVSR": "" if old_style else "%02d" % (symbol - 2),
        "NON_VSRSYM": VSR_LETTERS[(symbol - 2) % 12] if old_style else "",
        "CLASSCODE": "",
        "STAT_EXEP": "MA" if (seq % 11 == 0 and year >= 1995) else "",
        "COMP_SYM": "%d" % (10 + (symbol * 3) % 40) if year >= 2011 else "",
        "COLL_SYM": "%d" % (10 + (symbol * 5) % 40) if year >= 2011 else "",
        "PRICE_SYM": "%d" % (5 + (symbol * 2) % 60) if year >= 2011 else "",
        "EFF_DATE": "",
    }
    return rec


def generated_records():
    recs = []
    seq = 0
    for make, _name, wmis in MAKES:
        for mi, (model, code, wmi_index, first, last, cls, bodies) in enumerate(MODELS[make]):
            wmi = wmis[wmi_index % len(wmis)]
            # Every third model year, staggered per model, plus the last one.
            years = list(range(first + (mi % 3), last + 1, 3))
            if last not in years:
                years.append(last)
            for year in years:
                for sub, body in enumerate(bodies):
                    rec = describe(make, wmi, model, code, year, sub, body, seq)
                    rec["CLASSCODE"] = cls
                    recs.append(rec)
                    seq += 1
    return recs


def special(base, **changes):
    rec = dict(base)
    rec.update(changes)
    return rec


BASE = {f: "" for f in FIELDS}


def open_at(pattern, *positions):
    """The pattern with "&" at the given positions, counted from 1."""
    chars = list(pattern)
    for p in positions:
        chars[p - 1] = "&"
    return "".join(chars)


def special_records():
    """The cases README.md lists: hand-made VIN patterns that do not collide
    with the generated ones (their model codes are not used above)."""
    accord = special(BASE, IIN="0510", REC_TYPE="1", MANUFACT="HOND", MODELNAME="ACCORD",
                     BODYSTYLE="SEDAN 4D", ENGNSIZE="2.4", ENGN_CYLN="4", REST_IND="G",
                     ANTILCKBRK="S", DAYRLIND="S", ANTITHEFT="P", CLASSCODE="PC",
                     BODYINFO="SEDAN", RESTINFO="FRONT/SIDE AIRBAGS", TWODIGVSR="12",
                     TWODIGNVSR="10")
    out = [
        # One VIN key, three descriptions in effect at once, each trim under its
        # own model name as the master data names them (the choice dialog).
        special(accord, VIN="1HGCM566&5", MODELNAME="ACCORD LX", MODELINFO="LX",
                ENGNINFO="2.4L 4 CYL", TRANSINFO="A5"),
        special(accord, VIN="1HGCM566&5", MODELNAME="ACCORD EX", MODELINFO="EX",
                ENGNINFO="2.4L 4 CYL", TRANSINFO="M5", TWODIGVSR="13"),
        special(accord, VIN="1HGCM566&5", MODELNAME="ACCORD EX-L", MODELINFO="EX-L",
                ENGNINFO="2.4L 4 CYL", TRANSINFO="A5", TWODIGVSR="14", STAT_EXEP="MA"),
        # Further sub-models of the model ACCORD under other VINs. The two
        # coupes share their model name on purpose: the choice lists a
        # description only when its name differs from the one before it, so
        # their VIN is taken without asking (the LX, seen first).
        special(accord, VIN="1HGCM726&5", MODELINFO="LX", BODYSTYLE="COUPE 2D",
                BODYINFO="COUPE", ENGNINFO="2.4L 4 CYL", TRANSINFO="M5", TWODIGVSR="15",
                CONT_PERF="I"),
        special(accord, VIN="1HGCM726&5", MODELINFO="EX", BODYSTYLE="COUPE 2D",
                BODYINFO="COUPE", ENGNINFO="2.4L 4 CYL", TRANSINFO="A5", TWODIGVSR="15",
                CONT_PERF="I"),
        special(accord, VIN="1HGCM826&5", MODELINFO="EX V6", BODYSTYLE="SEDAN 4D",
                ENGNSIZE="3.0", ENGN_CYLN="6", ENGNINFO="3.0L 6 CYL", TRANSINFO="A5",
                TWODIGVSR="16", CONT_PERF="I"),
        special(accord, VIN="JHMCN364&5", MODELINFO="HYBRID", ENGNSIZE="3.0", ENGN_CYLN="6",
                ENGNINFO="3.0L 6 CYL HYBRID", TRANSINFO="A5", NOTCLASINF="HYBRID",
                TWODIGVSR="17"),
    ]
    camry = special(BASE, IIN="0620", REC_TYPE="1", MANUFACT="TOYT", MODELNAME="CAMRY",
                    BODYSTYLE="SEDAN 4D", ENGNSIZE="2.4", ENGN_CYLN="4", REST_IND="K",
                    ANTILCKBRK="S", DAYRLIND="O", CLASSCODE="PC", MODELINFO="LE",
                    BODYINFO="SEDAN", ENGNINFO="2.4L 4 CYL", RESTINFO="FRONT/SIDE AIRBAGS",
                    TRANSINFO="A5", TWODIGVSR="11", TWODIGNVSR="09")
    out += [
        # Same description twice, differing only in the effective month.
        special(camry, VIN="4T1BE32K&6", EFF_DATE="0906"),
        special(camry, VIN="4T1BE32K&6", EFF_DATE="0306"),
    ]
    mustang = special(BASE, IIN="0530", REC_TYPE="1", MANUFACT="FORD", MODELNAME="MUSTANG",
                      BODYSTYLE="COUPE 2D", ENGNSIZE="4.6", ENGN_CYLN="8", CONT_PERF="S",
                      REST_IND="1", ANTILCKBRK="S", DAYRLIND="S", ANTITHEFT="P",
                      CLASSCODE="SP", MODELINFO="GT", BODYINFO="COUPE", ENGNINFO="4.6L 8 CYL",
                      RESTINFO="FRONT/SIDE AIRBAGS", TRANSINFO="M5", TWODIGVSR="20",
                      TWODIGNVSR="18")
    out += [
        # Effective from January 2007, then a description from January 2005.
        special(mustang, VIN="1ZVFT82H&5", EFF_DATE="0107", TWODIGVSR="22"),
        special(mustang, VIN="1ZVFT82H&5", EFF_DATE="0105"),
    ]
    # Patterns that only one of the masks finds.
    blazer = special(BASE, IIN="0240", REC_TYPE="1", MANUFACT="CHEV", MODELNAME="BLAZER",
                     BODYSTYLE="UTIL 4D 4X4", ENGNSIZE="4.3", ENGN_CYLN="6", FOURWHDRV="4",
                     REST_IND="E", ANTILCKBRK="S", DAYRLIND="S", CLASSCODE="SU",
                     MODELINFO="LS", BODYINFO="UTILITY", ENGNINFO="4.3L 6 CYL",
                     RESTINFO="DUAL AIRBAGS", TRANSINFO="A4", TWODIGVSR="09", TWODIGNVSR="07")
    out += [
        special(blazer, VIN=open_at("1GNDT13W&2", 6)),
        special(blazer, VIN=open_at("1GNDT13X&2", 4), MODELINFO="LT"),
        special(blazer, VIN=open_at("1GNDT13Y&2", 8), MODELINFO="XTREME"),
        # Open in both the 4th and the 6th position: no mask finds it.
        special(blazer, VIN=open_at("1GNDT14Z&2", 4, 6), MODELINFO="TRAILBLAZER"),
    ]
    civic = special(BASE, IIN="0350", REC_TYPE="1", MANUFACT="HOND", MODELNAME="CIVIC",
                    BODYSTYLE="SEDAN 4D", ENGNSIZE="1.3", ENGN_CYLN="4", REST_IND="2",
                    ANTILCKBRK="O", DAYRLIND="O", CLASSCODE="PC", MODELINFO="HYBRID",
                    BODYINFO="SEDAN", ENGNINFO="1.3L 4 CYL HYBRID", RESTINFO="DUAL AIRBAGS",
                    TRANSINFO="CVT", NOTCLASINF="HYBRID", TWODIGVSR="10", TWODIGNVSR="08")
    out += [special(civic, VIN=open_at("JHMES966&3", 7))]  # 7th position open
    # Record type 3: this model year and next year's.
    out += [
        special(BASE, VIN="1HGCY2F5&T", IIN="2660", REC_TYPE="3", MANUFACT="HOND",
                MODELNAME="ACCORD", BODYSTYLE="SEDAN 4D", ENGNSIZE="2.0", ENGN_CYLN="4",
                ENGN_TYPE="T", REST_IND="Q", ANTILCKBRK="S", DAYRLIND="S", ANTITHEFT="P",
                CLASSCODE="PC", MODELINFO="SPORT", BODYINFO="SEDAN", ENGNINFO="2.0L 4 CYL TURBO",
                RESTINFO="FRONT/SIDE AIRBAGS", TRANSINFO="CVT", TWODIGVSR="19", TWODIGNVSR="17",
                COMP_SYM="27", COLL_SYM="31", PRICE_SYM="24"),
        special(BASE, VIN="1HGCY2F6&V", IIN="2761", REC_TYPE="3", MANUFACT="HOND",
                MODELNAME="ACCORD", BODYSTYLE="SEDAN 4D", ENGNSIZE="2.0", ENGN_CYLN="4",
                ENGN_TYPE="T", REST_IND="Q", ANTILCKBRK="S", DAYRLIND="S", ANTITHEFT="P",
                CLASSCODE="PC", MODELINFO="TOURING", BODYINFO="SEDAN",
                ENGNINFO="2.0L 4 CYL TURBO", RESTINFO="FRONT/SIDE AIRBAGS", TRANSINFO="CVT",
                TWODIGVSR="21", TWODIGNVSR="19", COMP_SYM="29", COLL_SYM="33", PRICE_SYM="26",
                EFF_DATE="0926"),
        # A make whose name holds an "&".
        special(BASE, VIN="SCBCR63W&5", IIN="0570", REC_TYPE="1", MANUFACT="RR",
                MODELNAME="CONTINENTAL GT", BODYSTYLE="COUPE 2D", ENGNSIZE="6.0",
                ENGN_CYLN="W", ENGN_TYPE="T", FOURWHDRV="4", CONT_PERF="P", REST_IND="1",
                ANTILCKBRK="S", DAYRLIND="S", ANTITHEFT="A", CLASSCODE="LX", MODELINFO="BASE",
                BODYINFO="COUPE", ENGNINFO="6.0L 12 CYL TURBO", RESTINFO="FRONT/SIDE AIRBAGS",
                TRANSINFO="A6", TWODIGVSR="27", TWODIGNVSR="25", STAT_EXEP="MA"),
        # An early description with letter symbols only.
        special(BASE, VIN="1G1FP87F&F", IIN="8580", REC_TYPE="1", MANUFACT="CHEV",
                MODELNAME="CAMARO", BODYSTYLE="COUPE 2D", ENGNSIZE="5.0", ENGN_CYLN="8",
                CONT_PERF="S", REST_IND="A", CLASSCODE="XS", MODELINFO="IROC-Z",
                BODYINFO="COUPE", ENGNINFO="5.0L 8 CYL", RESTINFO="NONE", TRANSINFO="M5",
                VSRSYM="M", NON_VSRSYM="K"),
    ]
    return out


def write_csv(name, header, rows):
    with open(os.path.join(HERE, name), "w", newline="", encoding="cp1252") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(header)
        for row in rows:
            w.writerow(row)


def main():
    # In abbreviation order, so that record order and ABBRTAG order agree.
    write_csv("AutoMake.csv", ["ABBR", "MAKE"],
              sorted(((abbr, name) for abbr, name, _ in MAKES)))

    trans = []
    for code, desc in CYLINDERS.items():
        trans.append(("ENGN_CYLN", code, desc))
    for code, desc in ENGINE_TYPES.items():
        trans.append(("ENGN_TYPE", code, desc))
    for code, desc in CLASSES.items():
        trans.append(("CLASSCODE", code, desc))
    for code, desc in TRANSMISSIONS.items():
        trans.append(("TRANSINFO", code, desc))
    for code, desc in OTHER_INFO.items():
        trans.append(("NOTCLASINF", code, desc))
    sizes = sorted({b[3] for models in MODELS.values() for m in models for b in m[6]} |
                   {"1.3", "4.3", "2.0"})
    for size in sizes:
        trans.append(("ENGNSIZE", size, size + " Liter"))
    trans.sort()
    write_csv("VinTrans.csv", ["FIELDNAME", "CODE", "DESC"], trans)

    generated = generated_records()
    vins = [r["VIN"] for r in generated]
    assert len(set(vins)) == len(vins), "generated VIN patterns collide"
    special_vins = {r["VIN"] for r in special_records()}
    assert not special_vins & set(vins), "a hand-made pattern collides with a generated one"
    recs = generated + special_records()
    # Sorted by VIN pattern so that the file reads well; records sharing a
    # pattern keep the order given, which is the order lookups see them in.
    recs.sort(key=lambda r: r["VIN"])
    write_csv("Yarvel.csv", FIELDS, ([r[f] for f in FIELDS] for r in recs))
    print("%d makes, %d translations, %d descriptions" % (len(MAKES), len(trans), len(recs)))


if __name__ == "__main__":
    main()
