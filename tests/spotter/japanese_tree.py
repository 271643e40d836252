#!/usr/bin/env python3
"""A tree of real files with Japanese names, for Spotter's end-to-end test and its
listing benchmark. Names are made of office words in kanji, hiragana, katakana and
half-width katakana, so that a romaji word has a known set of matches.

    japanese_tree.py <folder> <files> [--levels N] [--empty]

Every folder holds up to FILES_PER_FOLDER files and up to FOLDERS_PER_FOLDER subfolders,
LEVELS deep. Deterministic: the same arguments give the same tree. Python standard
library only.
"""
import os
import sys

# romaji -> the spellings that Migemo's expansion of it matches at a name's start.
WORDS = [
    ("kaisya", ["会社", "かいしゃ", "カイシャ", "ｶｲｼｬ"]),
    ("houkoku", ["報告", "ほうこく"]),
    ("keiyaku", ["契約", "けいやく"]),
    ("mitumori", ["見積", "みつもり"]),
    ("seikyuu", ["請求", "せいきゅう"]),
    ("kaigi", ["会議", "かいぎ"]),
    ("siryou", ["資料", "しりょう"]),
    ("nippou", ["日報", "にっぽう"]),
    ("yotei", ["予定", "よてい"]),
    ("syasin", ["写真", "しゃしん"]),
]
EXTENSIONS = [".txt", ".docx", ".xlsx", ".pdf", ".png"]
FILES_PER_FOLDER = 40
FOLDERS_PER_FOLDER = 6


def spelling(n):
    """The n-th spelling of the n-th word, round and round."""
    romaji, forms = WORDS[n % len(WORDS)]
    return romaji, forms[(n // len(WORDS)) % len(forms)]


def file_name(n):
    _, first = spelling(n)
    _, second = spelling(n * 7 + 3)
    return f"{first}_{second}_{n:06d}{EXTENSIONS[n % len(EXTENSIONS)]}"


def folder_name(n):
    _, form = spelling(n * 3 + 1)
    return f"{form}{n:04d}"


def plan(files, levels=3):
    """(relative folder, [file names]) for every folder, parents first."""
    folders = [""]
    out = []
    made = 0
    next_folder = 0
    i = 0
    while made < files:
        if i >= len(folders):  # every folder full: a new level under the last ones
            break
        folder = folders[i]
        i += 1
        count = min(FILES_PER_FOLDER, files - made)
        out.append((folder, [file_name(made + k) for k in range(count)]))
        made += count
        depth = 0 if folder == "" else folder.count(os.sep) + 1
        if depth < levels:
            for _ in range(FOLDERS_PER_FOLDER):
                folders.append(os.path.join(folder, folder_name(next_folder)))
                next_folder += 1
    return out


def make(root, files, levels=3, empty=False):
    """Creates the tree under root (which may exist); returns the relative paths of all
    files and folders made. Empty files are made faster."""
    made = []
    for folder, names in plan(files, levels):
        path = os.path.join(root, folder)
        os.makedirs(path, exist_ok=True)
        if folder:
            made.append(folder)
        for name in names:
            with open(os.path.join(path, name), "wb") as f:
                if not empty:
                    f.write(name.encode("utf-8"))
            made.append(os.path.join(folder, name))
    return made


def expected_prefix(paths, romaji):
    """Paths whose last part begins with a spelling of the word."""
    forms = dict(WORDS)[romaji]
    return sorted(p for p in paths if any(os.path.basename(p).startswith(f) for f in forms))


def main():
    root, files = sys.argv[1], int(sys.argv[2])
    levels = int(sys.argv[sys.argv.index("--levels") + 1]) if "--levels" in sys.argv else 3
    made = make(root, files, levels, "--empty" in sys.argv)
    print(f"{len(made)} entries under {root}")


if __name__ == "__main__":
    main()
