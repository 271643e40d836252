// Words a Japanese user types to find files, in romaji: the corpus of the matcher's
// differential test and of the keystroke benchmark.
#pragma once

inline const char* const kTypingCorpus[] = {
    "kaisya",  "hokensyou", "nenkin",   "sikaku",   "tyuumon",  "gakkou",  "densya",   "mitumori", "seikyuu",
    "ryousyuu", "keiyaku",  "houkoku",  "siryou",   "gijiroku", "kaigi",   "syain",    "kyuuyo",   "zeikin",
    "nouhin",  "hattyuu",   "syasin",   "gazou",    "kikaku",   "yosan",   "kessan",   "uriage",   "tantou",
    "jinji",   "kenkyuu",   "sekkei",   "siyousyo", "tejun",    "manyuaru", "kousin",  "hikkosi",  "ryokou",
    "kenkou",  "byouin",    "kodomo",   "gakusei",  "nyuusi",   "sotugyou", "syoumei", "juusyo",   "denwa",
    "meibo",   "yotei",     "nikki",    "ongaku",   "eiga",     "tegami",   "nengajou", "bunsyo",  "hyou",
    "zumen",   "fairu",     "tyousa",   "kakutei",  "sinsei",   "henkou"};

