#!/usr/bin/python3
"""How legible the converter's glyphs are, font by font, and a sheet of one
sentence from each font with the figures beside it.

  legibility_sheet.py [options] measure FONT FACE SET OUT.bdf
      the figures of one BDF that fontgraft-convert wrote from FONT
  legibility_sheet.py [options] sheet OUT.png
      converts each packaged font that is installed, before and after, and
      writes the sheet OUT.png and its figures OUT.txt

Options:
  --after CMD      the converter judged (default: build/fontgraft-convert)
  --before CMD     the converter to compare with, options included (default:
                   the same converter with --area 14 --render unhinted)
  --build DIR      where fontgraft and fontgraft-show are (default: build)
  --legibility PY  legibility.py (default: found in ../shared/tools beside the
                   repository or above it)
  --sample N       judge N glyphs of each common set, spread evenly (default:
                   all of them; the dense sets are always judged whole)

The figures, each over the main script's common set (gb1: GB 2312 level 1,
jis1: JIS X 0208 level 1, ksh: KS X 1001 Hangul) unless said:
  dense        glyphs intact in the 300 densest of the set (legibility.py)
  gap          gap recall there: the blanks between strokes that stay blank
  common       glyphs intact in the whole set
  ink          the ink's mean height in rows
  touch        the share of pairs of the set's glyphs that touch when set
               side by side (ink in column 15 of the first beside ink in
               column 0 of the second, in the same or a neighbouring row)
  uneven       the share of glyphs with both a vertical stem 1 pixel wide and
               one 2 or 3 pixels wide (a stem: the same run of ink in 3 or
               more rows in a row); of the set, and of a-z A-Z 0-9
Runs with Debian's /usr/bin/python3 (python3-freetype, -numpy, -scipy) and
ImageMagick's convert for the sheet.
"""

import importlib.util
import os
import pathlib
import re
import shlex
import subprocess
import sys
import tempfile

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parent.parent
SENTENCE = '鬱驚警懸議薔薇 永和九年 借休森像 あいうえお 한국어 Äg Quick brown fox'
IMAGE_SIZE = 5556520
LABEL_FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf'
ZENHEI = '/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc'
ALNUM = [ord(c) for c in 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789']
MIN_STEM_ROWS = 3

# Name, font file, face, main script's set, the outline it is judged against
# (None: the font itself), and whether it is hand-drawn (the yardstick).
FONTS = [
    ('WenQuanYi Bitmap Song 16', '/usr/share/fonts/X11/misc/wenquanyi_12pt.pcf', 0, 'gb1',
     (ZENHEI, 0), True),
    ('WenQuanYi Zen Hei Sharp (strikes)', ZENHEI, 2, 'gb1', (ZENHEI, 0), True),
    ('GNU Unifont (.pcf)', '/usr/share/fonts/X11/misc/unifont.pcf.gz', 0, 'gb1', (ZENHEI, 0),
     True),
    ('GNU Unifont (.otf)', '/usr/share/fonts/opentype/unifont/unifont.otf', 0, 'gb1',
     (ZENHEI, 0), False),
    ('WenQuanYi Zen Hei', ZENHEI, 0, 'gb1', None, False),
    ('WenQuanYi Micro Hei', '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc', 0, 'gb1', None,
     False),
    ('Noto Sans CJK SC', '/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc', 2, 'gb1',
     None, False),
    ('Noto Sans CJK JP', '/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc', 0, 'jis1',
     None, False),
    ('Noto Serif CJK SC', '/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc', 2, 'gb1',
     None, False),
    ('AR PL UMing', '/usr/share/fonts/truetype/arphic/uming.ttc', 0, 'gb1', None, False),
    ('AR PL UKai', '/usr/share/fonts/truetype/arphic/ukai.ttc', 0, 'gb1', None, False),
    ('Droid Sans Fallback', '/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf', 0,
     'gb1', None, False),
    ('HanaMinA', '/usr/share/fonts/truetype/hanazono/HanaMinA.ttf', 0, 'jis1', None, False),
    ('IPAGothic', '/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf', 0, 'jis1', None, False),
    ('IPAMincho', '/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf', 0, 'jis1', None, False),
    ('NanumGothic', '/usr/share/fonts/truetype/nanum/NanumGothic.ttf', 0, 'ksh', None, False),
    ('NanumMyeongjo', '/usr/share/fonts/truetype/nanum/NanumMyeongjo.ttf', 0, 'ksh', None,
     False),
    ('UnDotum', '/usr/share/fonts/truetype/unfonts-core/UnDotum.ttf', 0, 'ksh', None, False),
    ('UnBatang', '/usr/share/fonts/truetype/unfonts-core/UnBatang.ttf', 0, 'ksh', None, False),
    ('Baekmuk Gulim', '/usr/share/fonts/truetype/baekmuk/gulim.ttf', 0, 'ksh', None, False),
]


def find_legibility(given):
    if given:
        return given
    for up in (ROOT.parent, ROOT.parent.parent):
        path = up / 'shared' / 'tools' / 'legibility.py'
        if path.exists():
            return str(path)
    sys.exit('legibility_sheet.py: legibility.py not found: give --legibility')


def load_module(path):
    found = importlib.util.spec_from_file_location('legibility', path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def bdf_size(path):
    with open(path, 'rb') as f:
        for line in f:
            if line.startswith(b'SIZE '):
                return int(line.split()[1])
    return 0


def judged(legibility, bdf, font, face, set_name, size, sample):
    """(share intact, gap recall) of legibility.py over a set."""
    command = ['/usr/bin/python3', legibility, '--worst', '0', '--art', '0', '--face', str(face),
               '--set', set_name, bdf, font, str(size)]
    if sample:
        command[2:2] = ['--sample', str(sample)]
    out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    m = re.search(r'score: ([\d.]+) % intact.*gap recall ([\d.]+)', out)
    return (float(m.group(1)), float(m.group(2))) if m else (0.0, 0.0)


def stems(cell):
    """The widths of the cell's vertical stems."""
    widths = set()
    runs_above = {}
    for row in cell:
        padded = np.concatenate(([0], row.astype(np.int8), [0]))
        d = np.diff(padded)
        runs = {(int(s), int(e)) for s, e in zip(np.flatnonzero(d == 1), np.flatnonzero(d == -1))}
        counted = {run: runs_above.get(run, 0) + 1 for run in runs}
        for (s, e), n in counted.items():
            if n >= MIN_STEM_ROWS:
                widths.add(e - s)
        runs_above = counted
    return widths


def uneven_share(cells):
    if not cells:
        return 0.0
    uneven = 0
    for cell in cells:
        widths = stems(cell)
        uneven += 1 in widths and (2 in widths or 3 in widths)
    return 100.0 * uneven / len(cells)


def touch_share(cells):
    """Pairs (first, second) whose ink meets across the cells' border."""
    if not cells:
        return 0.0
    rights, lefts = {}, {}
    for cell in cells:
        right = int(sum(1 << r for r in range(16) if cell[r, 15]))
        right |= (right << 1 | right >> 1) & 0xFFFF
        left = int(sum(1 << r for r in range(16) if cell[r, 0]))
        rights[right] = rights.get(right, 0) + 1
        lefts[left] = lefts.get(left, 0) + 1
    touching = sum(a * b for r, a in rights.items() for l, b in lefts.items() if r & l)
    return 100.0 * touching / (len(cells) ** 2)


def ink_height(cells):
    heights = [np.flatnonzero(c.any(axis=1)).ptp() + 1 for c in cells if c.any()]
    return float(np.mean(heights)) if heights else 0.0


def measure(legibility, bdf, font, face, set_name, judge=None, sample=0):
    module = load_module(legibility)
    cells = module.cells_from_bdf(bdf)
    common = [cells[c][0] for c in module.code_set(set_name) if c in cells]
    latin = [cells[c][0] for c in ALNUM if c in cells]
    size = bdf_size(bdf)
    judge_font, judge_face = judge or (font, face)
    dense = judged(legibility, bdf, judge_font, judge_face, set_name + 'dense', size, 0)
    whole = judged(legibility, bdf, judge_font, judge_face, set_name, size, sample)
    return {'size': size, 'dense': dense[0], 'gap': dense[1], 'common': whole[0],
            'ink': ink_height(common), 'touch': touch_share(common),
            'uneven': uneven_share(common), 'uneven_latin': uneven_share(latin)}


def figures_text(f):
    return ('%d px  dense %.1f%% gap %.3f  common %.1f%%  ink %.1f rows  touch %.2f%%  '
            'uneven %.1f%% / Latin %.1f%%' % (
                f['size'], f['dense'], f['gap'], f['common'], f['ink'], f['touch'], f['uneven'],
                f['uneven_latin']))


def run(command, **kwargs):
    return subprocess.run(command, shell=True, **kwargs)


def convert_one(converter, font, face, folder, tag):
    bdf, cmap = folder / (tag + '.bdf'), folder / (tag + '.txt')
    done = run('%s --face %d %s %s %s' % (converter, face, shlex.quote(font), bdf, cmap),
               capture_output=True, text=True)
    summary = done.stderr.strip().replace('fontgraft-convert: ', '')
    return (bdf if done.returncode != 1 else None), done.returncode, summary


def sample_png(build, bdf, folder, tag):
    image, png = folder / (tag + '.bin'), folder / (tag + '.png')
    with open(image, 'wb') as f:
        f.truncate(IMAGE_SIZE)
    run('%s/fontgraft %s %s -c %s >/dev/null' % (build, image, bdf, bdf.with_suffix('.txt')),
        check=True)
    run('%s/fontgraft-show --png %s --scale 2 --sample %s %s' % (
        build, png, shlex.quote(SENTENCE), image), check=True)
    return png


def labelled(png, text, out):
    run('/usr/bin/convert -font %s -pointsize 12 -background white label:%s %s -append %s' % (
        LABEL_FONT, shlex.quote(text), png, out), check=True)
    return out


def sheet(options, out):
    folder = pathlib.Path(tempfile.mkdtemp(prefix='legibility-'))
    rows, lines = [], []
    for number, (name, font, face, set_name, judge, hand) in enumerate(FONTS):
        if not os.path.exists(font):
            continue
        for tag, converter in (('before', options['before']), ('after', options['after'])):
            if hand and tag == 'before':
                continue  # drawn the same either way
            key = '%02d-%s' % (number, tag)
            bdf, status, summary = convert_one(converter, font, face, folder, key)
            if bdf is None:
                lines.append('%s (%s): status 1: %s' % (name, tag, summary))
                continue
            f = measure(options['legibility'], str(bdf), font, face, set_name, judge,
                        options['sample'])
            text = '%s, %s%s: status %d, %s' % (name, 'hand-drawn' if hand else tag,
                                                 '' if hand else ' (%s)' % set_name, status,
                                                 figures_text(f))
            lines.append(text + '\n    ' + summary.replace('\n', '\n    '))
            rows.append(str(labelled(sample_png(options['build'], bdf, folder, key), text,
                                     folder / (key + '-labelled.png'))))
            print(text, flush=True)
    run('/usr/bin/convert %s -background white -splice 0x6 -append %s' % (
        ' '.join(rows), shlex.quote(out)), check=True)
    pathlib.Path(out).with_suffix('.txt').write_text('\n'.join(lines) + '\n')
    run('rm -rf %s' % folder)


def main(argv):
    options = {'after': str(ROOT / 'build' / 'fontgraft-convert'), 'before': None,
               'build': str(ROOT / 'build'), 'legibility': None, 'sample': 0}
    words = []
    i = 0
    while i < len(argv):
        if argv[i] in ('--after', '--before', '--build', '--legibility', '--sample'):
            options[argv[i][2:]] = argv[i + 1]
            i += 2
        else:
            words.append(argv[i])
            i += 1
    options['legibility'] = find_legibility(options['legibility'])
    options['sample'] = int(options['sample'])
    if options['before'] is None:
        options['before'] = options['after'] + ' --area 14 --render unhinted'
    if len(words) == 5 and words[0] == 'measure':
        f = measure(options['legibility'], words[4], words[1], int(words[2]), words[3],
                    sample=options['sample'])
        print(figures_text(f))
    elif len(words) == 2 and words[0] == 'sheet':
        sheet(options, words[1])
    else:
        sys.exit(__doc__)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
