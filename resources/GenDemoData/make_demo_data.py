#!/usr/bin/env python3
"""Writes DemoData.sql, the sample values of the test data generator (run it when the lists change).

The lists are combined with a fixed seed, so the output is the same on every run."""
import random
import sys
from pathlib import Path

random.seed(29)

FIRST_EN_M = """James John Robert Michael William David Richard Joseph Thomas Charles Christopher Daniel
Matthew Anthony Mark Donald Steven Paul Andrew Joshua Kenneth Kevin Brian George Timothy Ronald Edward
Jason Jeffrey Ryan Jacob Gary Nicholas Eric Jonathan Stephen Larry Justin Scott Brandon Benjamin Samuel
Gregory Alexander Frank Patrick Raymond Jack Dennis Jerry Tyler Aaron Henry Adam Douglas Nathan Peter
Zachary Kyle Walter Harold Jeremy Ethan Carl Keith Roger Gerald Christian Terry Sean Arthur Austin Noah
Lawrence Jesse Joe Bryan Billy Jordan Albert Dylan Bruce Willie Gabriel Alan Juan Logan Wayne Ralph Roy
Eugene Randy Vincent Russell Louis Philip Bobby Johnny Bradley Oliver Harry Leo Oscar Hugo Finn""".split()
FIRST_EN_F = """Mary Patricia Jennifer Linda Elizabeth Barbara Susan Jessica Sarah Karen Nancy Lisa Betty
Margaret Sandra Ashley Kimberly Emily Donna Michelle Dorothy Carol Amanda Melissa Deborah Stephanie
Rebecca Sharon Laura Cynthia Kathleen Amy Shirley Angela Helen Anna Brenda Pamela Nicole Emma Samantha
Katherine Christine Debra Rachel Catherine Carolyn Janet Ruth Maria Heather Diane Virginia Julie Joyce
Victoria Olivia Kelly Christina Lauren Joan Evelyn Judith Megan Cheryl Andrea Hannah Martha Jacqueline
Frances Gloria Ann Teresa Kathryn Sara Janice Jean Alice Madison Doris Abigail Julia Judy Grace Denise
Amber Marilyn Beverly Danielle Theresa Sophia Marie Diana Brittany Natalie Isabella Charlotte Rose
Alexis Kayla Chloe Lucy Ella Ruby Freya Isla""".split()
FIRST_CZ_M = """Jiří Jan Petr Josef Pavel Martin Tomáš Jaroslav Miroslav Zdeněk Václav Michal František
Jakub Milan Karel Lukáš David Vladimír Ondřej Ladislav Stanislav Roman Marek Radek Daniel Antonín Vojtěch
Filip Adam Matěj Aleš Libor Vít Šimon Dominik Štěpán Bohumil Luboš Oldřich Přemysl Radim Kryštof Čeněk
Dušan Jindřich Břetislav Ctibor Ivo Vítězslav Lubomír Rostislav Bořivoj""".split()
FIRST_CZ_F = """Marie Jana Eva Hana Anna Lenka Kateřina Lucie Věra Alena Petra Veronika Jaroslava Tereza
Martina Michaela Jitka Ludmila Helena Zdeňka Ivana Monika Eliška Zuzana Markéta Jarmila Barbora Dagmar
Kristýna Klára Adéla Natálie Šárka Růžena Blanka Radka Dominika Andrea Simona Božena Gabriela Vlasta
Žaneta Libuše Miroslava Renata Pavlína Nikola Vendula Štěpánka Dana Irena Olga Alžběta Magdaléna
Zdeňka Bohdana Denisa""".split()

SURNAMES_EN = """Smith Johnson Williams Brown Jones Garcia Miller Davis Rodriguez Martinez Hernandez Lopez
Gonzalez Wilson Anderson Thomas Taylor Moore Jackson Martin Lee Perez Thompson White Harris Sanchez Clark
Ramirez Lewis Robinson Walker Young Allen King Wright Scott Torres Nguyen Hill Flores Green Adams Nelson
Baker Hall Rivera Campbell Mitchell Carter Roberts Gomez Phillips Evans Turner Diaz Parker Cruz Edwards
Collins Reyes Stewart Morris Morales Murphy Cook Rogers Gutierrez Ortiz Morgan Cooper Peterson Bailey Reed
Kelly Howard Ramos Kim Cox Ward Richardson Watson Brooks Chavez Wood James Bennett Gray Mendoza Ruiz
Hughes Price Alvarez Castillo Sanders Patel Myers Long Ross Foster Jimenez Powell Jenkins Perry Russell
Sullivan Bell Coleman Butler Henderson Barnes Fisher Vasquez Simmons Graham Murray Ford Hamilton Wallace
Marshall Owens Palmer Hunt Fletcher Lawson Holmes Spencer Webb Knight Dixon Barker Hayes Harper Stone
Porter Mason Burke Hudson Shaw Walsh Doyle Quinn""".split()
SURNAMES_CZ = """Novák Svoboda Novotný Dvořák Černý Procházka Kučera Veselý Horák Němec Marek Pokorný
Pospíšil Hájek Jelínek Král Růžička Beneš Fiala Sedláček Doležal Zeman Kolář Navrátil Čermák Vaněk
Urban Blažek Kříž Kovář Bartoš Vlček Polák Musil Kopecký Šimek Konečný Malý Holub Štěpánek Kadlec Dostál
Soukup Šťastný Mareš Moravec Sýkora Tichý Valenta Vávra Matoušek Říha Bureš Ševčík Hrubý Mašek Pavlík
Janda Hruška Dušek Kratochvíl Jireš Skála Šindelář Bláha Strnad Žák Řezníček Hušek Čížek Křížek Toman
Havlíček Vojtek Brabec Šebesta Lukáš Zbořil Vondráček Hořejší Tůma Kubíček Bartoň Kašpar Krejčí Zelenka
Petrů Hanák Ondráček Šulc Matějka Charvát Ryšavý Vacek Šrámek Bednář Knap Kubát Žižka""".split()

CITIES = [  # city, postal code pattern, country
    ("London", "EC1A 1BB", "United Kingdom"), ("Manchester", "M1 1AE", "United Kingdom"),
    ("Birmingham", "B1 1BB", "United Kingdom"), ("Leeds", "LS1 4AP", "United Kingdom"),
    ("Glasgow", "G1 1XQ", "United Kingdom"), ("Liverpool", "L1 8JQ", "United Kingdom"),
    ("Bristol", "BS1 4DJ", "United Kingdom"), ("Edinburgh", "EH1 1YZ", "United Kingdom"),
    ("Cardiff", "CF10 1EP", "United Kingdom"), ("Belfast", "BT1 5GS", "United Kingdom"),
    ("Oxford", "OX1 2JD", "United Kingdom"), ("Cambridge", "CB2 1TN", "United Kingdom"),
    ("York", "YO1 7HH", "United Kingdom"), ("Brighton", "BN1 1AE", "United Kingdom"),
    ("Dublin", "D02 X285", "Ireland"), ("Cork", "T12 W8DX", "Ireland"), ("Galway", "H91 E2K4", "Ireland"),
    ("New York", "10001", "United States"), ("Los Angeles", "90012", "United States"),
    ("Chicago", "60601", "United States"), ("Houston", "77002", "United States"),
    ("Phoenix", "85003", "United States"), ("Philadelphia", "19102", "United States"),
    ("San Antonio", "78205", "United States"), ("San Diego", "92101", "United States"),
    ("Dallas", "75201", "United States"), ("Austin", "78701", "United States"),
    ("Seattle", "98101", "United States"), ("Denver", "80202", "United States"),
    ("Boston", "02108", "United States"), ("Portland", "97204", "United States"),
    ("Atlanta", "30303", "United States"), ("Miami", "33130", "United States"),
    ("Minneapolis", "55401", "United States"), ("Nashville", "37203", "United States"),
    ("Toronto", "M5H 2N2", "Canada"), ("Montréal", "H2Y 1C6", "Canada"), ("Vancouver", "V6B 1A1", "Canada"),
    ("Ottawa", "K1P 1J1", "Canada"), ("Calgary", "T2P 1J9", "Canada"),
    ("Sydney", "2000", "Australia"), ("Melbourne", "3000", "Australia"), ("Brisbane", "4000", "Australia"),
    ("Perth", "6000", "Australia"), ("Auckland", "1010", "New Zealand"), ("Wellington", "6011", "New Zealand"),
    ("Praha", "110 00", "Česká republika"), ("Brno", "602 00", "Česká republika"),
    ("Ostrava", "702 00", "Česká republika"), ("Plzeň", "301 00", "Česká republika"),
    ("Liberec", "460 01", "Česká republika"), ("Olomouc", "779 00", "Česká republika"),
    ("České Budějovice", "370 01", "Česká republika"), ("Hradec Králové", "500 02", "Česká republika"),
    ("Ústí nad Labem", "400 01", "Česká republika"), ("Pardubice", "530 02", "Česká republika"),
    ("Zlín", "760 01", "Česká republika"), ("Havířov", "736 01", "Česká republika"),
    ("Kladno", "272 01", "Česká republika"), ("Most", "434 01", "Česká republika"),
    ("Opava", "746 01", "Česká republika"), ("Frýdek-Místek", "738 01", "Česká republika"),
    ("Karviná", "733 01", "Česká republika"), ("Jihlava", "586 01", "Česká republika"),
    ("Teplice", "415 01", "Česká republika"), ("Děčín", "405 02", "Česká republika"),
    ("Karlovy Vary", "360 01", "Česká republika"), ("Chomutov", "430 01", "Česká republika"),
    ("Jablonec nad Nisou", "466 01", "Česká republika"), ("Mladá Boleslav", "293 01", "Česká republika"),
    ("Prostějov", "796 01", "Česká republika"), ("Přerov", "750 02", "Česká republika"),
    ("Třebíč", "674 01", "Česká republika"), ("Tábor", "390 01", "Česká republika"),
    ("Znojmo", "669 02", "Česká republika"), ("Kolín", "280 02", "Česká republika"),
    ("Příbram", "261 01", "Česká republika"), ("Cheb", "350 02", "Česká republika"),
    ("Trutnov", "541 01", "Česká republika"), ("Písek", "397 01", "Česká republika"),
    ("Kroměříž", "767 01", "Česká republika"), ("Šumperk", "787 01", "Česká republika"),
    ("Vsetín", "755 01", "Česká republika"), ("Uherské Hradiště", "686 01", "Česká republika"),
    ("Břeclav", "690 02", "Česká republika"), ("Hodonín", "695 01", "Česká republika"),
    ("Český Krumlov", "381 01", "Česká republika"), ("Žďár nad Sázavou", "591 01", "Česká republika"),
    ("Bratislava", "811 01", "Slovensko"), ("Košice", "040 01", "Slovensko"), ("Žilina", "010 01", "Slovensko"),
    ("Berlin", "10115", "Deutschland"), ("Hamburg", "20095", "Deutschland"), ("München", "80331", "Deutschland"),
    ("Köln", "50667", "Deutschland"), ("Frankfurt am Main", "60311", "Deutschland"),
    ("Stuttgart", "70173", "Deutschland"), ("Düsseldorf", "40213", "Deutschland"),
    ("Leipzig", "04109", "Deutschland"), ("Dresden", "01067", "Deutschland"), ("Nürnberg", "90402", "Deutschland"),
    ("Wien", "1010", "Österreich"), ("Graz", "8010", "Österreich"), ("Linz", "4020", "Österreich"),
    ("Salzburg", "5020", "Österreich"), ("Zürich", "8001", "Schweiz"), ("Genève", "1201", "Schweiz"),
    ("Bern", "3011", "Schweiz"), ("Basel", "4051", "Schweiz"),
    ("Paris", "75001", "France"), ("Lyon", "69001", "France"), ("Marseille", "13001", "France"),
    ("Toulouse", "31000", "France"), ("Nice", "06000", "France"), ("Bordeaux", "33000", "France"),
    ("Madrid", "28001", "España"), ("Barcelona", "08001", "España"), ("Valencia", "46001", "España"),
    ("Sevilla", "41001", "España"), ("Málaga", "29001", "España"),
    ("Roma", "00118", "Italia"), ("Milano", "20121", "Italia"), ("Napoli", "80121", "Italia"),
    ("Torino", "10121", "Italia"), ("Firenze", "50122", "Italia"), ("Bologna", "40121", "Italia"),
    ("Amsterdam", "1012 JS", "Nederland"), ("Rotterdam", "3011 AD", "Nederland"), ("Utrecht", "3511 AX", "Nederland"),
    ("Brussel", "1000", "België"), ("Antwerpen", "2000", "België"), ("Luxembourg", "L-1009", "Luxembourg"),
    ("Kraków", "31-001", "Polska"), ("Warszawa", "00-001", "Polska"), ("Wrocław", "50-001", "Polska"),
    ("Gdańsk", "80-001", "Polska"), ("Poznań", "60-001", "Polska"), ("Łódź", "90-001", "Polska"),
    ("Budapest", "1011", "Magyarország"), ("Debrecen", "4024", "Magyarország"),
    ("København", "1050", "Danmark"), ("Aarhus", "8000", "Danmark"), ("Stockholm", "111 20", "Sverige"),
    ("Göteborg", "411 01", "Sverige"), ("Oslo", "0150", "Norge"), ("Bergen", "5003", "Norge"),
    ("Helsinki", "00100", "Suomi"), ("Lisboa", "1100-148", "Portugal"), ("Porto", "4000-322", "Portugal"),
    ("Athína", "105 52", "Elláda"), ("Ljubljana", "1000", "Slovenija"), ("Zagreb", "10000", "Hrvatska"),
]

STREET_EN_BASE = """Oak Maple Cedar Pine Elm Willow Birch Chestnut Walnut Park Lake Hill River Church Mill
Station Market Bridge Castle Garden Meadow Spring Forest Sunset Highland Valley Queen King Victoria Albert
George Windsor York Cambridge Oxford Baker Fleet Regent Bond Grove Orchard Green Bay Harbour Cliff Abbey
Manor Kingston Ashford Brook Fairview Hawthorn Holly Ivy Juniper Laurel Linden Magnolia Poplar Primrose
Rose Sycamore Thornton Washington Lincoln Jefferson Madison Franklin Jackson Main High Broad Union""".split()
STREET_EN_KIND = ["Street", "Road", "Avenue", "Lane", "Drive", "Close", "Way", "Place", "Crescent",
                  "Terrace", "Court", "Boulevard"]
STREET_CZ = """Nádražní Školní Husova Komenského Masarykova Palackého Sokolská Zahradní Nerudova Tyršova
Revoluční Smetanova Jiráskova Lipová Luční Polní Krátká Dlouhá Družstevní Havlíčkova Žižkova Riegrova
Štefánikova Svatopluka Čecha Jungmannova Purkyňova Karlova Vinohradská Národní Pražská Brněnská Hlavní
Mírová Nová Sadová Lesní Horní Dolní Větrná Příčná Klášterní Kostelní Jabloňová Třešňová Vrbová Březová
Javorová Kaštanová Květinová Slunečná Úzká Široká Tylova Čapkova Erbenova Máchova Dvořákova Janáčkova
Fügnerova Bezručova Wolkerova Vrchlického Heyrovského Křižíkova Kollárova Šafaříkova Bělehradská
Letenská Korunní Slezská Moravská Českobratrská Legionářská Vítězná Družby Pionýrů Úvoz Podskalí
Náměstí Míru Zámecká Rybářská Mlýnská Pekařská Řeznická Kovářská Hrnčířská""".split()

DOMAINS = """gmail.com outlook.com yahoo.com hotmail.com icloud.com proton.me mail.com gmx.net web.de
aol.com zoho.com fastmail.com yandex.com seznam.cz email.cz centrum.cz atlas.cz post.cz volny.cz
tiscali.cz quick.cz azet.sk pobox.sk orange.fr free.fr laposte.net libero.it virgilio.it wp.pl
onet.pl interia.pl t-online.de freenet.de posteo.de mailbox.org bluewin.ch sunrise.ch telenet.be
ziggo.nl kpnmail.nl btinternet.com sky.com virginmedia.com comcast.net verizon.net att.net cox.net
bigpond.com optusnet.com.au shaw.ca rogers.com example.com example.org example.net test.cz firma.cz
company.com acme.com contoso.com fabrikam.com northwind.com tailspin.com""".split()

COMPANY_A = """Acme Apex Atlas Beacon Blue Bright Cascade Cedar Crystal Delta Eagle Echo Evergreen Falcon
Frontier Global Golden Granite Harbor Horizon Iron Keystone Liberty Lighthouse Maple Meridian Nova Oak
Orion Pacific Peak Phoenix Pinnacle Pioneer Prime Quantum Red River Rocky Sapphire Silver Summit Sun
Titan True Unity Vertex Vista Zenith Alfa Beta Bohemia Morava Vltava Krkonoše Šumava Labe Tatra Praga
Slavia Metro Elektro Agro Stavo Techno Auto Chemo Textil Kovo Dřevo Sklo Papír""".split()
COMPANY_B = """Systems Solutions Technologies Industries Logistics Consulting Foods Energy Motors Media
Networks Software Labs Partners Group Holdings Services Trading Engineering Design Construction Capital
Pharma Electronics Retail Transport Analytics Robotics Materials Textiles stavby obchod služby servis
technika strojírny potraviny doprava""".split()
COMPANY_FORM = ["Ltd", "Inc.", "LLC", "plc", "Corp.", "GmbH", "AG", "s.r.o.", "a.s.", "v.o.s.", "S.A.", "B.V."]

PRODUCT_ADJ = """Classic Deluxe Compact Premium Eco Smart Ultra Mini Pro Lite Heavy-duty Wireless Portable
Organic Vintage Modern Ergonomic Stainless Wooden Leather Ceramic Cotton Bamboo Glass Titanium
Waterproof Foldable Rechargeable Digital Solar""".split()
PRODUCT_NOUN = [("Coffee Mug", "Kitchen", 3, 25), ("Teapot", "Kitchen", 12, 80), ("Chef Knife", "Kitchen", 15, 220),
    ("Frying Pan", "Kitchen", 18, 160), ("Cutting Board", "Kitchen", 8, 60), ("Blender", "Kitchen", 35, 400),
    ("Toaster", "Kitchen", 20, 150), ("Desk Lamp", "Home", 14, 180), ("Armchair", "Home", 90, 1200),
    ("Bookshelf", "Home", 45, 600), ("Rug", "Home", 30, 900), ("Curtains", "Home", 20, 250),
    ("Pillow", "Home", 8, 90), ("Blanket", "Home", 15, 200), ("Headphones", "Electronics", 20, 450),
    ("Speaker", "Electronics", 25, 600), ("Keyboard", "Electronics", 15, 250), ("Mouse", "Electronics", 8, 150),
    ("Monitor", "Electronics", 110, 1500), ("Power Bank", "Electronics", 15, 120), ("Smartwatch", "Electronics", 60, 800),
    ("Camera", "Electronics", 150, 3000), ("Backpack", "Outdoor", 25, 300), ("Tent", "Outdoor", 60, 900),
    ("Sleeping Bag", "Outdoor", 35, 450), ("Water Bottle", "Outdoor", 6, 60), ("Hiking Boots", "Outdoor", 50, 350),
    ("Bicycle", "Outdoor", 250, 4000), ("Helmet", "Outdoor", 25, 250), ("Notebook", "Office", 2, 30),
    ("Pen Set", "Office", 4, 120), ("Stapler", "Office", 5, 45), ("Office Chair", "Office", 80, 1100),
    ("Desk Organizer", "Office", 9, 70), ("Wall Clock", "Home", 12, 180), ("Watch", "Fashion", 40, 2500),
    ("Wallet", "Fashion", 15, 250), ("Sunglasses", "Fashion", 12, 400), ("Scarf", "Fashion", 10, 150),
    ("T-shirt", "Fashion", 7, 60), ("Jacket", "Fashion", 45, 600), ("Sneakers", "Fashion", 40, 300),
    ("Drill", "Tools", 40, 450), ("Screwdriver Set", "Tools", 10, 90), ("Hammer", "Tools", 8, 60),
    ("Toolbox", "Tools", 20, 200), ("Garden Hose", "Garden", 15, 120), ("Flower Pot", "Garden", 4, 80),
    ("Lawn Mower", "Garden", 120, 1600), ("Bird Feeder", "Garden", 8, 70)]
PRODUCT_CZ = [("Hrnek na kávu", 89, 390), ("Čajová konvice", 290, 1490), ("Kuchyňský nůž", 190, 2490),
    ("Pánev", 390, 2990), ("Prkénko", 120, 690), ("Stolní lampa", 450, 3490), ("Křeslo", 2900, 24900),
    ("Knihovna", 1490, 12900), ("Polštář", 190, 1290), ("Deka", 290, 2490), ("Sluchátka", 390, 8990),
    ("Reproduktor", 590, 12900), ("Klávesnice", 290, 4990), ("Myš", 190, 2990), ("Batoh", 490, 4990),
    ("Stan", 1290, 19900), ("Spacák", 890, 7990), ("Láhev na vodu", 149, 990), ("Turistické boty", 1290, 6990),
    ("Jízdní kolo", 5990, 89900), ("Přilba", 590, 4990), ("Sešit", 19, 149), ("Propiska", 9, 390),
    ("Kancelářská židle", 1990, 19900), ("Nástěnné hodiny", 290, 3490), ("Peněženka", 290, 2990),
    ("Šála", 199, 1490), ("Bunda", 990, 9990), ("Vrtačka", 990, 8990), ("Kladivo", 149, 990),
    ("Zahradní hadice", 290, 1990), ("Květináč", 59, 990), ("Sekačka na trávu", 2990, 29900), ("Krmítko pro ptáky", 149, 890)]
PRODUCT_CZ_ADJ = ["Standard", "Komfort", "Plus", "Lux", "Eko", "Mini", "Maxi", "Profi", "Klasik", "Nova",
                  "Junior", "Senior", "Extra", "Exkluziv", "Úsporná řada", "Řada Šumava", "Řada Krkonoše",
                  "Řada Vltava", "Edice Praha", "Edice Morava"]

PHRASE_EN_SUBJ = ["The new manager", "Our customer", "The delivery driver", "A small team", "The committee",
    "My neighbour", "The support desk", "The weekly report", "Every employee", "The warehouse",
    "The sales department", "Your order", "The project plan", "This invoice", "The quarterly budget",
    "The marketing campaign", "Our supplier", "The training session", "The board", "The prototype"]
PHRASE_EN_PRED = ["was approved yesterday", "needs another review", "arrived two days late",
    "will be ready next week", "exceeded all expectations", "has been postponed until spring",
    "was sent to the wrong address", "is waiting for a signature", "looks promising so far",
    "requires more testing", "was paid in full", "has been cancelled without notice",
    "is on schedule for Friday", "received very positive feedback", "must be updated before Monday",
    "was moved to the main office", "has several open questions", "was completed ahead of time",
    "will be discussed at the meeting", "is missing one attachment"]
PHRASE_CZ_SUBJ = ["Nový vedoucí", "Náš zákazník", "Řidič dodávky", "Malý tým", "Komise", "Můj soused",
    "Zákaznická podpora", "Týdenní přehled", "Každý zaměstnanec", "Sklad", "Obchodní oddělení",
    "Vaše objednávka", "Plán projektu", "Tato faktura", "Čtvrtletní rozpočet", "Reklamní kampaň",
    "Náš dodavatel", "Školení", "Představenstvo", "Prototyp"]
PHRASE_CZ_PRED = ["byl včera schválen", "potřebuje další kontrolu", "dorazil o dva dny později",
    "bude hotový příští týden", "předčil všechna očekávání", "byl odložen až na jaro",
    "byl odeslán na špatnou adresu", "čeká na podpis", "zatím vypadá slibně", "vyžaduje další testování",
    "byl zaplacen v plné výši", "byl bez upozornění zrušen", "je podle plánu na pátek",
    "získal velmi kladné hodnocení", "musí být aktualizován do pondělí", "byl přesunut do hlavní kanceláře",
    "má několik otevřených otázek", "byl dokončen s předstihem", "bude projednán na poradě",
    "postrádá jednu přílohu"]
SENTENCE_CZ = ["Příliš žluťoučký kůň úpěl ďábelské ódy.", "Dobrý den, posílám slíbené podklady.",
    "Děkujeme za Vaši objednávku.", "Zboží bude expedováno do tří pracovních dnů.",
    "Prosím o potvrzení přijetí této zprávy.", "Schůzka se přesouvá na čtvrtek v 10:00.",
    "Cena je uvedena včetně DPH.", "Při převzetí zkontrolujte, zda zásilka není poškozená.",
    "Omlouváme se za způsobené potíže.", "S pozdravem a přáním hezkého dne."]
SENTENCE_EN = ["The quick brown fox jumps over the lazy dog.", "Thank you for your order.",
    "Please confirm that you received this message.", "The meeting has moved to Thursday at 10 am.",
    "All prices include VAT.", "We apologise for any inconvenience.", "Kind regards and have a nice day.",
    "Goods are shipped within three working days.", "Please check the parcel for damage on delivery.",
    "Attached you will find the documents we promised."]


def q(s):
    return "'" + s.replace("'", "''") + "'"


def inserts(out, table, cols, rows):
    for i in range(0, len(rows), 200):
        chunk = rows[i:i + 200]
        out.append(f"INSERT INTO {table} ({', '.join(cols)}) VALUES\n" + ",\n".join(
            "(" + ", ".join(q(v) if isinstance(v, str) else repr(v) for v in r) + ")" for r in chunk) + ";")


def ascii_fold(s):
    table = str.maketrans("áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽäöüßåøæéèêàâîôûçñłńśźżąęőű",
                          "acdeeinorstuuyzACDEEINORSTUUYZaousaoaeeeaaioucnlnszzaeou")
    return s.translate(table).replace("ß", "ss")


def female_surname(s):
    if s.endswith("ů"):
        return s
    if s[-1] in "ýí":
        return s[:-1] + "á"
    if s.endswith("ek") or s.endswith("ec"):
        return s[:-2] + s[-1] + "ová"
    if s[-1] in "aeo":
        return s[:-1] + "ová"
    return s + "ová"


def main():
    out = ["-- Sample values of the test data generator. Written by make_demo_data.py; edit the script.",
           "BEGIN;"]
    first = ([(n, "M", "EN") for n in FIRST_EN_M] + [(n, "F", "EN") for n in FIRST_EN_F] +
             [(n, "M", "CZ") for n in FIRST_CZ_M] + [(n, "F", "CZ") for n in FIRST_CZ_F])
    first = list(dict.fromkeys(first))
    out.append("CREATE TABLE FirstNames (ID INTEGER PRIMARY KEY, FirstName VARCHAR(40) NOT NULL, "
               "Gender CHAR(1) NOT NULL, Lang CHAR(2) NOT NULL);")
    inserts(out, "FirstNames", ["FirstName", "Gender", "Lang"], first)
    surnames = [(n, "EN") for n in dict.fromkeys(SURNAMES_EN)] + [(n, "CZ") for n in dict.fromkeys(SURNAMES_CZ)]
    out.append("CREATE TABLE Surnames (ID INTEGER PRIMARY KEY, Surname VARCHAR(40) NOT NULL, Lang CHAR(2) NOT NULL);")
    inserts(out, "Surnames", ["Surname", "Lang"], surnames)

    out.append("CREATE TABLE Cities (ID INTEGER PRIMARY KEY, City VARCHAR(60) NOT NULL, "
               "PostalCode VARCHAR(12) NOT NULL, Country VARCHAR(40) NOT NULL);")
    inserts(out, "Cities", ["City", "PostalCode", "Country"], CITIES)

    streets = set()
    for b in STREET_EN_BASE:
        for k in random.sample(STREET_EN_KIND, 4):
            streets.add((f"{b} {k}", "EN"))
    for s in STREET_CZ:
        streets.add((s, "CZ"))
    streets = sorted(streets)
    out.append("CREATE TABLE Streets (ID INTEGER PRIMARY KEY, Street VARCHAR(60) NOT NULL, Lang CHAR(2) NOT NULL);")
    inserts(out, "Streets", ["Street", "Lang"], streets)

    out.append("CREATE TABLE EmailDomains (ID INTEGER PRIMARY KEY, Domain VARCHAR(40) NOT NULL);")
    inserts(out, "EmailDomains", ["Domain"], [(d,) for d in dict.fromkeys(DOMAINS)])

    companies = set()
    while len(companies) < 1200:
        a, b, f = random.choice(COMPANY_A), random.choice(COMPANY_B), random.choice(COMPANY_FORM)
        if b[0].islower():
            f = random.choice(["s.r.o.", "a.s.", "v.o.s.", "spol. s r.o."])
            companies.add((f"{a} {b} {f}", ))
        else:
            companies.add((f"{a} {b} {f}", ))
    companies = sorted(companies)
    out.append("CREATE TABLE Companies (ID INTEGER PRIMARY KEY, Company VARCHAR(80) NOT NULL, "
               "City VARCHAR(60) NOT NULL, Country VARCHAR(40) NOT NULL);")
    rows = []
    for (c,) in companies:
        city = random.choice(CITIES)
        rows.append((c, city[0], city[2]))
    inserts(out, "Companies", ["Company", "City", "Country"], rows)

    products = set()
    for adj in PRODUCT_ADJ:
        for noun, cat, lo, hi in random.sample(PRODUCT_NOUN, 24):
            products.add((f"{adj} {noun}", cat, round(random.uniform(lo, hi), 2), "USD", "EN"))
    for adj in PRODUCT_CZ_ADJ:
        for noun, lo, hi in random.sample(PRODUCT_CZ, 16):
            price = round(random.uniform(lo, hi) / 10) * 10 - 1
            products.add((f"{noun} {adj}", "Zboží", float(max(price, 9)), "CZK", "CZ"))
    products = sorted(products)
    out.append("CREATE TABLE Products (ID INTEGER PRIMARY KEY, Product VARCHAR(80) NOT NULL, "
               "Category VARCHAR(30) NOT NULL, Price DECIMAL(10,2) NOT NULL, Currency CHAR(3) NOT NULL, "
               "Lang CHAR(2) NOT NULL);")
    inserts(out, "Products", ["Product", "Category", "Price", "Currency", "Lang"], products)

    phrases = []
    for s in PHRASE_EN_SUBJ:
        for p in random.sample(PHRASE_EN_PRED, 12):
            phrases.append((f"{s} {p}.", "EN"))
    for s in PHRASE_CZ_SUBJ:
        for p in random.sample(PHRASE_CZ_PRED, 12):
            phrases.append((f"{s} {p}.", "CZ"))
    phrases += [(s, "EN") for s in SENTENCE_EN] + [(s, "CZ") for s in SENTENCE_CZ]
    out.append("CREATE TABLE Phrases (ID INTEGER PRIMARY KEY, Phrase VARCHAR(200) NOT NULL, Lang CHAR(2) NOT NULL);")
    inserts(out, "Phrases", ["Phrase", "Lang"], phrases)

    # People: believable combined records (name, contact, address, birth date).
    people = []
    for _ in range(3000):
        lang = random.choice(["EN", "EN", "CZ"])
        g = random.choice("MF")
        pool = [n for n, gg, ll in first if gg == g and ll == lang]
        fn = random.choice(pool)
        sn = random.choice([n for n, ll in surnames if ll == lang])
        if lang == "CZ" and g == "F":
            sn = female_surname(sn)
        cz_cities = [c for c in CITIES if c[2] == "Česká republika"]
        city = random.choice(cz_cities if lang == "CZ" else [c for c in CITIES if c[2] != "Česká republika"])
        street = random.choice([s for s, ll in streets if ll == lang])
        dom = random.choice(DOMAINS)
        email = f"{ascii_fold(fn).lower()}.{ascii_fold(sn).lower()}{random.choice(['', '', str(random.randint(1, 99))])}@{dom}"
        phone = (f"+420 {random.randint(601, 799)} {random.randint(100, 999)} {random.randint(100, 999)}" if lang == "CZ"
                 else f"+1 {random.randint(201, 989)}-{random.randint(200, 999)}-{random.randint(1000, 9999)}")
        birth = f"{random.randint(1940, 2006)}-{random.randint(1, 12):02d}-{random.randint(1, 28):02d}"
        people.append((fn, sn, g, email, phone, f"{street} {random.randint(1, 180)}", city[0], city[1], city[2], birth))
    out.append("CREATE TABLE People (ID INTEGER PRIMARY KEY, FirstName VARCHAR(40) NOT NULL, "
               "Surname VARCHAR(40) NOT NULL, Gender CHAR(1) NOT NULL, Email VARCHAR(80) NOT NULL, "
               "Phone VARCHAR(20) NOT NULL, Street VARCHAR(80) NOT NULL, City VARCHAR(60) NOT NULL, "
               "PostalCode VARCHAR(12) NOT NULL, Country VARCHAR(40) NOT NULL, BirthDate DATE NOT NULL);")
    inserts(out, "People", ["FirstName", "Surname", "Gender", "Email", "Phone", "Street", "City", "PostalCode",
                            "Country", "BirthDate"], people)
    out.append("COMMIT;")
    Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).with_name("DemoData.sql")).write_text(
        "\n".join(out) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
