#!/usr/bin/python3
"""Compiles kelvo.rc with each given windres and checks the compiled .res
against the resources the program relies on: every string, menu item,
dialog control, cursor, icon, toolbar strip, version value and the
application manifest.

The expected values are written out below as data, independent of
kelvo.rc, so a wrong code page, a lost half-width katakana, a moved
control id or a dropped separator shows up here and not as a garbled or
dead dialog at run time.

usage: check_resources.py --rc res/kelvo.rc --out DIR
                          --windres PROG [--windres PROG ...]
                          [--images-script res/make_images.py]
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile

from check_manifest import manifest_faults

LANG_JAPANESE = 0x0411

RT_CURSOR, RT_BITMAP, RT_ICON, RT_MENU, RT_DIALOG, RT_STRING = 1, 2, 3, 4, 5, 6
RT_GROUP_CURSOR, RT_GROUP_ICON, RT_VERSION = 12, 14, 16

# Window style bits the checks look at.
WS_POPUP, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x00C00000, 0x00080000
WS_DISABLED, WS_VSCROLL, WS_BORDER = 0x08000000, 0x00200000, 0x00800000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME = 0x40, 0x80
BS_TYPEMASK = 0x0F
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
BS_GROUPBOX, BS_AUTORADIOBUTTON = 7, 9
ES_AUTOHSCROLL = 0x80
SS_TYPEMASK, SS_LEFT, SS_CENTER, SS_RIGHT, SS_ICON = 0x1F, 0, 1, 2, 3
LBS_NOTIFY, LBS_SORT, LBS_NOINTEGRALHEIGHT = 0x1, 0x2, 0x100
UDS_SETBUDDYINT, UDS_ALIGNRIGHT, UDS_AUTOBUDDY, UDS_ARROWKEYS = 0x2, 0x4, 0x10, 0x20
UDS_NOTHOUSANDS = 0x80
# No thousands separator: "1,000" in the field would read back as 1.
UPDOWN_STYLE = (UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS
                | UDS_NOTHOUSANDS)
DIALOG_STYLE = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU

# Predefined dialog classes may be stored as an atom or by name.
CLASS_ATOMS = {0x80: 'BUTTON', 0x81: 'EDIT', 0x82: 'STATIC', 0x83: 'LISTBOX'}

NO_ID = -1
FONT = 'ＭＳ Ｐゴシック'

# ------------------------------------------------------------ expected

STRINGS = {
    40001: '印刷',
    40002: 'ﾌﾟﾚﾋﾞｭｰ',
    40004: '印刷する倍率を設定します',
    40005: 'Kelvoを終了します',
    40006: '削除',
    40007: '起動時アイコン化',
    40008: '保存',
    40009: '画面をﾌｧｲﾙに出力します',
    40010: '画面をﾌﾟﾘﾝﾀに出力します',
    40011: 'キャプチャーキーを変更します',
    40012: 'ﾊﾞｰｼﾞｮﾝ情報',
    40013: '1.10a',
    40014: 'ﾃﾞｽｸﾄｯﾌﾟ',
    40015: 'ｳｨﾝﾄﾞｳ',
    40016: '矩形',
    40020: '拡大・縮小',
    40022: '印刷中を表示',
    40023: '読込',
    40053: 'ｽﾅｯﾌﾟｼｮｯﾄ',
    40054: '壁紙に登録',
    # The markup editor: tooltips, button labels, the question.
    40120: '編集 (Ctrl+E)',
    40121: 'ペン (P)',
    40122: '蛍光ペン (H)',
    40123: '直線 (L)',
    40124: '矢印 (A)',
    40125: '四角形 (R)',
    40126: '楕円 (E)',
    40127: '文字 (T)',
    40128: 'モザイク (M)',
    40129: '番号 (N)',
    40130: '切り抜き (C)',
    40131: '塗りつぶし (F)',
    40132: '赤',
    40133: '青',
    40134: '緑',
    40135: '黄',
    40136: '黒',
    40137: '白',
    40138: '色の選択',
    40139: '線の太さ 1 ピクセル (1)',
    40140: '線の太さ 2 ピクセル (2)',
    40141: '線の太さ 4 ピクセル (3)',
    40142: '線の太さ 8 ピクセル (4)',
    40143: '元に戻す (Ctrl+Z)',
    40144: 'やり直し (Ctrl+Y)',
    40145: '確定 (Enter)',
    40146: '取消 (Esc)',
    40147: '文字の大きさ 16 ピクセル',
    40148: '文字の大きさ 24 ピクセル',
    40149: '文字の大きさ 32 ピクセル',
    40150: '文字の大きさ 48 ピクセル',
    41200: '編集',
    41201: 'ペン',
    41202: '蛍光ペン',
    41203: '直線',
    41204: '矢印',
    41205: '四角形',
    41206: '楕円',
    41207: '文字',
    41208: 'モザイク',
    41209: '番号',
    41210: '切り抜き',
    41211: '塗り',
    41212: '赤',
    41213: '青',
    41214: '緑',
    41215: '黄',
    41216: '黒',
    41217: '白',
    41218: '色...',
    41219: '1',
    41220: '2',
    41221: '4',
    41222: '8',
    41223: '元に戻す',
    41224: 'やり直し',
    41225: '確定',
    41226: '取消',
    41227: '小',
    41228: '中',
    41229: '大',
    41230: '特大',
    41250: '編集中の画像を破棄しますか？',
    41251: 'メモリが足りないため編集できません',
}

SEP = ('-',)


def popup(text, *items):
    return ('popup', text, list(items))


def item(cmd, text):
    return ('item', cmd, text)


MAIN_MENU = [
    popup('ﾌｧｲﾙ(&F)',
          item(40023, '開く(&O)..'),
          item(40008, '保存(&S)...'),
          item(40120, '編集(&M)\tCtrl+E'),
          SEP,
          popup('ﾌﾟﾘﾝﾀ設定(&R)',
                item(40003, '設定(&S)...'),
                item(40013, '取り消し(&C)'),
                SEP,
                item(40024, '保存'),
                item(40025, '読込'),
                SEP,
                item(40026, '起動時読込')),
          item(40001, '印刷(&P)...'),
          SEP,
          item(40002, 'ﾌﾟﾚﾋﾞｭｰ(&V)'),
          item(40006, '削除(&E)'),
          SEP,
          item(40005, 'ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)')),
    popup('ｷｬﾌﾟﾁｬｰ(&C)',
          item(40014, 'ﾃﾞｽｸﾄｯﾌﾟ(&D)'),
          item(40015, 'ｳｨﾝﾄﾞｳ(&W)'),
          item(40016, '矩形(&R)'),
          item(40110, '前回の範囲(&L)'),
          SEP,
          item(40053, 'ｽﾅｯﾌﾟｼｮｯﾄ(S)...'),
          item(40057, '矩形範囲指定(&O)...')),
    popup('ｱｳﾄﾌﾟｯﾄ(&P)',
          item(40009, 'ファイル(&F)...'),
          item(40010, 'ﾌﾟﾘﾝﾀｰ(&P)')),
    popup('ｵﾌﾟｼｮﾝ(&O)',
          item(40011, 'キー変更(&C)...'),
          SEP,
          item(40004, '印刷倍率(&S)...'),
          item(40022, '印刷中を表示'),
          SEP,
          item(40020, '拡大・縮小'),
          SEP,
          item(40054, '壁紙に登録'),
          SEP,
          item(40059, 'ボタンカスタマイズ'),
          SEP,
          item(40007, '起動時アイコン化(&I)'),
          SEP,
          item(40111, 'マウスカーソルを含める'),
          item(40100, '静止画面で選択')),
    popup('ﾍﾙﾌﾟ(&H)',
          item(40055, '目次(&C)'),
          item(40056, 'ヘルプの使い方(&H)'),
          SEP,
          item(40012, 'ﾊﾞｰｼﾞｮﾝ情報(&A)...')),
]

# The popup's own caption is never shown, so any text passes.
POPUP_MENU_ITEMS = [
    item(40023, '読込...'),
    item(40008, '保存...'),
    item(40120, '編集'),
    SEP,
    item(40001, '印刷...'),
    SEP,
    item(40014, 'デスクトップ'),
    item(40015, 'ウィンドウ'),
    item(40016, '矩形'),
    item(40110, '前回の範囲'),
    SEP,
    item(40005, '終了'),
]


# Control kinds: the class and style bits each kind must carry.
def ctl(cid, kind, text, rect=None):
    return (cid, kind, text, rect)


DIALOGS = {
    102: dict(title='倍率の設定', size=11, extent=(139, 91), controls=[
        ctl(NO_ID, 'static', '倍率(&S):'),
        ctl(1000, 'edit', ''),
        ctl(1023, 'updown', 'Spin3'),
        ctl(NO_ID, 'static', '%'),
        ctl(1, 'default', 'OK'),
        ctl(2, 'push', 'ｷｬﾝｾﾙ'),
    ]),
    110: dict(title='ﾌｧｲﾙ連続生成', size=10, extent=(279, 246), controls=[
        ctl(1009, 'radio-first', 'ファイルを連続生成しない', (35, 20, 104, 10)),
        ctl(1010, 'radio', 'ファイルを連続生成する', (35, 34, 104, 10)),
        ctl(1003, 'edit-after-group', '', (29, 108, 170, 13)),
        ctl(1002, 'edit', '', (29, 155, 78, 13)),
        ctl(1004, 'push', 'Browse..', (203, 107, 56, 28)),
        ctl(1, 'default', 'OK', (155, 210, 50, 25)),
        ctl(2, 'push', 'ｷｬﾝｾﾙ', (215, 210, 50, 25)),
        ctl(1014, 'static', 'ファイルの先頭文字：', (29, 142, 105, 8)),
        ctl(1013, 'static', 'パス：', (29, 94, 105, 8)),
        ctl(1008, 'group', 'ｵﾌﾟｼｮﾝ', (10, 75, 256, 111)),
        ctl(1015, 'static', '####.BMP', (116, 158, 105, 8)),
        ctl(1032, 'radio-first', 'RLE8方式', (185, 19, 50, 10)),
        ctl(1033, 'radio', 'RLE4方式', (185, 30, 50, 10)),
        ctl(1034, 'radio', 'なし', (185, 41, 30, 10)),
        ctl(NO_ID, 'group-after-group', '圧縮', (175, 10, 65, 50)),
        ctl(NO_ID, 'group', 'ｵｰﾄﾅﾝﾊﾞﾘﾝｸﾞ', (10, 10, 140, 50)),
        ctl(NO_ID, 'static', '注意）圧縮を行うと色情報が失われます', (106, 63, 160, 10)),
        ctl(1016, 'static', '保存形式：', (14, 199, 42, 8)),
        ctl(1017, 'radio-first', 'BMP', (58, 198, 34, 10)),
        ctl(1018, 'radio', 'PNG', (96, 198, 34, 10)),
        ctl(1300, 'radio', 'JPEG', (134, 198, 40, 10)),
        ctl(1301, 'static', '品質：', (14, 217, 42, 8)),
        ctl(1302, 'edit-after-group', '', (58, 215, 26, 12)),
        ctl(1303, 'static', '(1～100)', (88, 217, 40, 8)),
        ctl(1304, 'static', '%Y年 %m月 %d日 %H時 %M分 %S秒 %n番号', (29, 172, 232, 8)),
    ]),
    111: dict(title='ｷｰの指定', size=9, controls=[
        ctl(NO_ID, 'static', 'CTRL'),
        ctl(1010, 'check', ' '),
        ctl(NO_ID, 'static', '＋'),
        ctl(NO_ID, 'static', 'SHIFT'),
        ctl(1011, 'check', ' '),
        ctl(NO_ID, 'static', '＋'),
        ctl(1012, 'list', ''),
        ctl(1, 'button', 'OK'),
        ctl(2, 'button', 'ｷｬﾝｾﾙ'),
        ctl(1350, 'static', '注意）この Windows では Print Screen キーを押すと Snipping Tool が開きます。'
                            'キャプチャーキーとして使うには、設定 > アクセシビリティ > キーボード で'
                            '「Print Screen キーを使用して画面キャプチャを開く」をオフにしてください。',
            (10, 92, 206, 48)),
    ]),
    112: dict(title='ﾊﾞｰｼﾞｮﾝ情報', size=9, controls=[
        ctl(NO_ID, 'icon', 105),
        ctl(NO_ID, 'static', 'Kelvo - ｽｸﾘｰﾝｷｬﾌﾟﾁｬｱﾌﾟﾘｹｰｼｮﾝ'),
        ctl(NO_ID, 'static', 'Version'),
        ctl(1020, 'static', ''),
        ctl(1, 'button', 'OK'),
        ctl(1026, 'push-disabled', 'Microsoftｼｽﾃﾑ情報...'),
    ]),
    135: dict(title='ｽﾅｯﾌﾟｼｮｯﾄの設定', size=9, controls=[
        ctl(1028, 'check', 'ｽﾅｯﾌﾟｼｮｯﾄを有効にする'),
        ctl(NO_ID, 'static', '秒単位で設定してください'),
        ctl(1029, 'edit', ''),
        ctl(1030, 'updown', 'Spin1'),
        ctl(1, 'button', 'OK'),
        ctl(2, 'button', 'ｷｬﾝｾﾙ'),
    ]),
    148: dict(title='矩形範囲指定', size=9, controls=[
        ctl(1038, 'check', '範囲を指定'),
        ctl(1044, 'static-centre', 'horz'),
        ctl(NO_ID, 'static', '×'),
        ctl(1045, 'static-centre', 'vert'),
        # The screen's top-left corner: negative with a monitor left of or
        # above the primary one.
        ctl(NO_ID, 'static', '左上：'),
        ctl(1046, 'static-centre', 'x'),
        ctl(NO_ID, 'static', ','),
        ctl(1047, 'static-centre', 'y'),
        ctl(1041, 'group', '指定範囲'),
        ctl(1043, 'static', '左から：'),
        ctl(1034, 'edit', ''),
        ctl(NO_ID, 'static', '上から：'),
        ctl(1033, 'edit', ''),
        ctl(NO_ID, 'static', '幅：'),
        ctl(1035, 'edit', ''),
        ctl(NO_ID, 'static', '高さ：'),
        ctl(1036, 'edit', ''),
        ctl(NO_ID, 'static', '( 単位：ピクセル）'),
        ctl(1, 'button', 'OK'),
        ctl(2, 'button', 'ｷｬﾝｾﾙ'),
    ]),
}

VERSION_STRINGS = {
    'CompanyName': 'Norvik',
    'FileDescription': 'Kelvo - ｽｸﾘｰﾝｷｬﾌﾟﾁｬｱﾌﾟﾘｹｰｼｮﾝ',
    'FileVersion': '1.10a',
    'InternalName': 'KELVO',
    'OriginalFilename': 'KELVO.EXE',
    'ProductName': 'Kelvo',
    'ProductVersion': '1.10a',
}
FILE_VERSION = (1, 10, 0, 0)
TRANSLATION = (0x0411, 1200)

CURSORS = (123, 124)
CURSOR_SIZES = (32, 48, 64)  # 100 %, 150 % and 200 %
ICON = 105
ICON_SIZES = {(16, 16), (24, 24), (32, 32), (48, 48), (64, 64)}
# The strip as drawn, and drawn again for 150 % and 200 %.
TOOLBARS = (dict(id=127, width=288, height=15, bits=4),
            dict(id=128, width=432, height=24, bits=4),
            dict(id=129, width=576, height=32, bits=4))
RT_MANIFEST = 24
LANG_NEUTRAL = 0

# ------------------------------------------------------------- reading


class Bad(Exception):
    """A structural fault in the .res file."""


class Reader:
    def __init__(self, data, pos=0):
        self.d, self.p = data, pos

    def need(self, n):
        if self.p + n > len(self.d):
            raise Bad(f'truncated at offset {self.p}')

    def u8(self):
        self.need(1)
        self.p += 1
        return self.d[self.p - 1]

    def u16(self):
        self.need(2)
        self.p += 2
        return struct.unpack_from('<H', self.d, self.p - 2)[0]

    def i16(self):
        self.need(2)
        self.p += 2
        return struct.unpack_from('<h', self.d, self.p - 2)[0]

    def u32(self):
        self.need(4)
        self.p += 4
        return struct.unpack_from('<I', self.d, self.p - 4)[0]

    def sz(self):
        start = self.p
        while self.u16() != 0:
            pass
        return self.d[start:self.p - 2].decode('utf-16-le')

    def sz_or_ord(self):
        first = self.u16()
        if first == 0xFFFF:
            return self.u16()
        if first == 0:
            return ''
        self.p -= 2
        return self.sz()

    def align(self, n=4):
        self.p = (self.p + n - 1) // n * n


def read_res(data):
    """{(type, name): (language, bytes)} from a 32-bit .res file."""
    out = {}
    r = Reader(data)
    while r.p < len(data):
        start = r.p
        size, header = r.u32(), r.u32()
        rtype, name = r.sz_or_ord(), r.sz_or_ord()
        r.align()
        r.u32()  # data version
        r.u16()  # memory flags
        lang = r.u16()
        r.p = start + header
        r.need(size)
        if not (rtype == 0 and name == 0 and size == 0):
            key = (rtype, name.upper() if isinstance(name, str) else name)
            if key in out:
                raise Bad(f'resource {key} appears twice')
            out[key] = (lang, data[r.p:r.p + size])
        r.p += size
        r.align()
    return out


def parse_menu(data):
    r = Reader(data)
    if r.u16() != 0:
        raise Bad('menu is not a standard MENU template')
    header = r.u16()
    r.p += header

    def items():
        result = []
        while True:
            flags = r.u16()
            if flags & 0x10:  # MF_POPUP
                text = r.sz()
                result.append(('popup', text, items()))
            else:
                cmd = r.u16()
                text = r.sz()
                if flags & 0x800 or (cmd == 0 and text == ''):
                    result.append(SEP)
                else:
                    result.append(('item', cmd, text))
            if flags & 0x80:  # MF_END
                return result
    return items()


def parse_dialogex(data):
    r = Reader(data)
    if r.u16() != 1 or r.u16() != 0xFFFF:
        raise Bad('not a DIALOGEX template')
    r.u32()  # help id
    ex_style, style, count = r.u32(), r.u32(), r.u16()
    extent = (r.i16(), r.i16(), r.i16(), r.i16())
    menu, cls, title = r.sz_or_ord(), r.sz_or_ord(), r.sz()
    font = None
    if style & DS_SETFONT:
        size, weight, italic, charset = r.u16(), r.u16(), r.u8(), r.u8()
        font = dict(size=size, weight=weight, italic=italic, charset=charset, name=r.sz())
    controls = []
    for _ in range(count):
        r.align()
        r.u32()  # help id
        c_ex, c_style = r.u32(), r.u32()
        rect = (r.i16(), r.i16(), r.i16(), r.i16())
        cid = struct.unpack('<i', struct.pack('<I', r.u32()))[0]
        c_cls = r.sz_or_ord()
        if isinstance(c_cls, int):
            c_cls = CLASS_ATOMS.get(c_cls, c_cls)
        else:
            c_cls = c_cls.upper()
        text = r.sz_or_ord()
        extra = r.u16()  # creation data
        r.p += extra
        controls.append(dict(id=cid, cls=c_cls, style=c_style, ex=c_ex, rect=rect, text=text))
    return dict(style=style, ex=ex_style, extent=extent[2:], menu=menu, cls=cls,
                title=title, font=font, controls=controls)


def parse_version(data):
    """(fixed file info words, {block: {key: value}}, translation words)."""
    def node(r):
        start = r.p
        length, value_len, vtype = r.u16(), r.u16(), r.u16()
        key = r.sz()
        r.align()
        value = None
        if value_len:
            if vtype == 1:
                value = r.d[r.p:r.p + value_len * 2].decode('utf-16-le').rstrip('\0')
                r.p += value_len * 2
            else:
                value = r.d[r.p:r.p + value_len]
                r.p += value_len
            r.align()
        children = []
        while r.p < start + length:
            children.append(node(r))
            r.align()
        r.p = start + length
        return key, value, children

    r = Reader(data)
    key, fixed, children = node(r)
    if key != 'VS_VERSION_INFO' or fixed is None or len(fixed) < 52:
        raise Bad('version record has no VS_FIXEDFILEINFO')
    words = struct.unpack_from('<13I', fixed)
    strings, translation = {}, None
    for ckey, _, kids in children:
        if ckey == 'StringFileInfo':
            for block, _, values in kids:
                strings[block] = {k: v for (k, v, _) in values}
        elif ckey == 'VarFileInfo':
            for vkey, vval, _ in kids:
                if vkey == 'Translation' and vval:
                    translation = struct.unpack_from('<HH', vval)
    return words, strings, translation


# -------------------------------------------------------------- checks

class Checker:
    def __init__(self, name, res):
        self.name, self.res, self.faults = name, res, []

    def fail(self, msg):
        self.faults.append(msg)

    def get(self, rtype, name):
        entry = self.res.get((rtype, name))
        if entry is None:
            self.fail(f'missing resource type {rtype} name {name!r}')
            return None
        lang, data = entry
        if lang != LANG_JAPANESE:
            self.fail(f'resource type {rtype} name {name!r} has language {lang:#06x}')
        return data

    def strings(self):
        found = {}
        for (rtype, name), (lang, data) in self.res.items():
            if rtype != RT_STRING:
                continue
            if lang != LANG_JAPANESE:
                self.fail(f'string block {name} has language {lang:#06x}')
            r = Reader(data)
            for i in range(16):
                n = r.u16()
                text = data[r.p:r.p + 2 * n].decode('utf-16-le')
                r.p += 2 * n
                if n:
                    found[(name - 1) * 16 + i] = text
        for sid, text in STRINGS.items():
            if found.get(sid) != text:
                self.fail(f'string {sid}: expected {text!r}, found {found.get(sid)!r}')
        for sid in sorted(set(found) - set(STRINGS)):
            self.fail(f'unexpected string {sid}: {found[sid]!r}')

    def menus(self):
        data = self.get(RT_MENU, 101)
        if data is not None:
            self.compare_menu('menu 101', parse_menu(data), MAIN_MENU)
        data = self.get(RT_MENU, 'POPUP')
        if data is not None:
            got = parse_menu(data)
            if len(got) != 1 or got[0][0] != 'popup':
                self.fail('menu "POPUP" must hold exactly one popup')
            else:
                self.compare_menu('menu "POPUP"', got[0][2], POPUP_MENU_ITEMS)

    def compare_menu(self, where, got, want):
        if len(got) != len(want):
            self.fail(f'{where}: {len(want)} entries expected, {len(got)} found: {got!r}')
        for i, (g, w) in enumerate(zip(got, want)):
            here = f'{where}[{i}]'
            if g[0] != w[0]:
                self.fail(f'{here}: expected {w!r}, found {g!r}')
            elif w[0] == 'popup':
                if g[1] != w[1]:
                    self.fail(f'{here}: popup text {g[1]!r}, expected {w[1]!r}')
                self.compare_menu(f'{here} {w[1]}', g[2], w[2])
            elif g != w:
                self.fail(f'{here}: expected {w!r}, found {g!r}')

    def dialogs(self):
        for did, want in DIALOGS.items():
            data = self.get(RT_DIALOG, did)
            if data is None:
                continue
            try:
                dlg = parse_dialogex(data)
            except Bad as e:
                self.fail(f'dialog {did}: {e}')
                continue
            self.dialog(did, dlg, want)

    def dialog(self, did, dlg, want):
        where = f'dialog {did}'
        if dlg['style'] & DIALOG_STYLE != DIALOG_STYLE:
            self.fail(f'{where}: style {dlg["style"]:#x} lacks modal frame, popup, caption or system menu')
        if dlg['title'] != want['title']:
            self.fail(f'{where}: title {dlg["title"]!r}, expected {want["title"]!r}')
        font = dlg['font']
        if font is None:
            self.fail(f'{where}: no font')
        elif (font['name'], font['size']) != (FONT, want['size']):
            self.fail(f'{where}: font {font["name"]!r} {font["size"]}, expected {FONT!r} {want["size"]}')
        if 'extent' in want and tuple(dlg['extent']) != want['extent']:
            self.fail(f'{where}: size {dlg["extent"]}, expected {want["extent"]}')
        got, expected = dlg['controls'], want['controls']
        if len(got) != len(expected):
            self.fail(f'{where}: {len(expected)} controls expected, {len(got)} found')
        for i, (g, (cid, kind, text, rect)) in enumerate(zip(got, expected)):
            here = f'{where} control {i} ({cid}, {text!r})'
            if g['id'] != cid:
                self.fail(f'{here}: id {g["id"]}')
            if g['text'] != text:
                self.fail(f'{here}: text {g["text"]!r}')
            if rect is not None and g['rect'] != rect:
                self.fail(f'{here}: rectangle {g["rect"]}, expected {rect}')
            problem = kind_problem(kind, g)
            if problem:
                self.fail(f'{here}: {problem} (class {g["cls"]!r}, style {g["style"]:#x})')
            if kind == 'updown' and (i == 0 or kind_problem('edit', got[i - 1])):
                self.fail(f'{here}: an up-down control must directly follow its edit')

    def version(self):
        data = self.get(RT_VERSION, 1)
        if data is None:
            return
        try:
            words, strings, translation = parse_version(data)
        except (Bad, struct.error, UnicodeDecodeError) as e:
            self.fail(f'version record: {e}')
            return
        fv = (words[2] >> 16, words[2] & 0xFFFF, words[3] >> 16, words[3] & 0xFFFF)
        if fv != FILE_VERSION:
            self.fail(f'FILEVERSION {fv}, expected {FILE_VERSION}')
        block = strings.get('041104B0', strings.get('041104b0'))
        if block is None:
            self.fail(f'no string block 041104B0 (found {sorted(strings)})')
        elif block != VERSION_STRINGS:
            self.fail(f'version strings {block!r}, expected {VERSION_STRINGS!r}')
        if translation != TRANSLATION:
            self.fail(f'Translation {translation}, expected {TRANSLATION}')

    def cursors(self):
        for cid in CURSORS:
            group = self.get(RT_GROUP_CURSOR, cid)
            if group is None:
                continue
            r = Reader(group)
            if (r.u16(), r.u16()) != (0, 2):
                self.fail(f'cursor {cid}: not a cursor directory')
                continue
            count = r.u16()
            if count != len(CURSOR_SIZES):
                self.fail(f'cursor {cid}: {count} images, expected {len(CURSOR_SIZES)}')
            for side in CURSOR_SIZES[:count]:
                w, h2, planes, bits, size, image = (r.u16(), r.u16(), r.u16(), r.u16(),
                                                   r.u32(), r.u16())
                if (w, h2, bits) != (side, 2 * side, 1):
                    self.fail(f'cursor {cid}: directory says {w}x{h2 // 2} at {bits} bits, '
                              f'expected {side}x{side}')
                raw = self.get(RT_CURSOR, image)
                if raw is None:
                    continue
                hx, hy = struct.unpack_from('<HH', raw)
                _, bw, bh, _, bbits = struct.unpack_from('<IiiHH', raw, 4)
                if (hx, hy) != (0, 0):
                    self.fail(f'cursor {cid}: hot spot ({hx}, {hy}), expected (0, 0)')
                if (bw, bh, bbits) != (side, 2 * side, 1):
                    self.fail(f'cursor {cid}: image {bw}x{bh // 2} at {bbits} bits, '
                              f'expected {side}x{side} monochrome')

    def icon(self):
        group = self.get(RT_GROUP_ICON, ICON)
        if group is None:
            return
        r = Reader(group)
        if (r.u16(), r.u16()) != (0, 1):
            self.fail(f'icon {ICON}: not an icon directory')
            return
        sizes = set()
        for _ in range(r.u16()):
            w, h, _colours, _ = r.u8(), r.u8(), r.u8(), r.u8()
            _planes, bits, _size, image = r.u16(), r.u16(), r.u32(), r.u16()
            raw = self.get(RT_ICON, image)
            if raw is None:
                continue
            _, bw, bh, _, bbits = struct.unpack_from('<IiiHH', raw)
            if (bw, bh // 2) != (w or 256, h or 256) or bbits < 4 or bits != bbits:
                self.fail(f'icon {ICON}: entry {w}x{h}/{bits} holds {bw}x{bh // 2}/{bbits}')
            sizes.add((bw, bh // 2))
        if sizes != ICON_SIZES:
            self.fail(f'icon {ICON}: sizes {sorted(sizes)}, expected {sorted(ICON_SIZES)}')

    def toolbar(self):
        for strip in TOOLBARS:
            self.toolbar_strip(strip)

    def toolbar_strip(self, strip):
        data = self.get(RT_BITMAP, strip['id'])
        if data is None:
            return
        size, w, h, _, bits, compression = struct.unpack_from('<IiiHHI', data)
        if (w, h, bits, compression) != (strip['width'], strip['height'], strip['bits'], 0):
            self.fail(f'bitmap {strip["id"]}: {w}x{h} at {bits} bits, compression {compression}; '
                      f'expected {strip["width"]}x{strip["height"]} at {strip["bits"]} bits, uncompressed')
            return
        # Light grey is the button face the toolbar shows through; it must
        # be entry 7.
        b, g, r = data[size + 4 * 7:size + 4 * 7 + 3]
        if (r, g, b) != (192, 192, 192):
            self.fail(f'bitmap {strip["id"]}: palette entry 7 is {(r, g, b)}, expected light grey')

    def manifest(self):
        entry = self.res.get((RT_MANIFEST, 1))
        if entry is None:
            self.fail('missing the application manifest (type 24, id 1)')
            return
        lang, data = entry
        if lang != LANG_NEUTRAL:
            self.fail(f'manifest has language {lang:#06x}, expected neutral')
        for fault in manifest_faults(data):
            self.fail(f'manifest: {fault}')

    def run(self):
        for step in (self.strings, self.menus, self.dialogs, self.version,
                     self.cursors, self.icon, self.toolbar, self.manifest):
            try:
                step()
            except (Bad, struct.error, UnicodeDecodeError) as e:
                self.fail(f'{step.__name__}: unreadable: {e}')
        return self.faults


def kind_problem(kind, c):
    """Why control c is not of the given kind, or None."""
    cls, style = c['cls'], c['style']
    btype = style & BS_TYPEMASK
    if kind in ('static', 'static-centre', 'icon'):
        # A plain label may be aligned any way; the description fixes only
        # the centred screen-size fields and the icon.
        want = {'static': (SS_LEFT, SS_CENTER, SS_RIGHT), 'static-centre': (SS_CENTER,),
                'icon': (SS_ICON,)}[kind]
        if cls != 'STATIC' or style & SS_TYPEMASK not in want:
            return f'not a {kind}'
    elif kind in ('edit', 'edit-after-group'):
        need = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP
        if kind == 'edit-after-group':
            need |= WS_GROUP
        if cls != 'EDIT' or style & need != need:
            return 'not a bordered, scrolling tab-stop edit' + (
                ' that closes the radio group before it' if kind == 'edit-after-group' else '')
    elif kind == 'updown':
        if cls != 'MSCTLS_UPDOWN32' or style & 0xFFFF != UPDOWN_STYLE:
            return ('not an up-down control with set-buddy-int, align-right, auto-buddy, arrow keys,'
                    ' no thousands')
    elif kind in ('radio', 'radio-first'):
        if cls != 'BUTTON' or btype != BS_AUTORADIOBUTTON:
            return 'not an automatic radio button'
        if (kind == 'radio-first') != bool(style & WS_GROUP):
            return 'radio group boundary wrong'
    elif kind == 'check':
        if cls != 'BUTTON' or btype != BS_AUTOCHECKBOX:
            return 'not an automatic check box'
    elif kind in ('group', 'group-after-group'):
        if cls != 'BUTTON' or btype != BS_GROUPBOX:
            return 'not a group box'
        if kind == 'group-after-group' and not style & WS_GROUP:
            return 'does not close the radio group before it'
    elif kind == 'default':
        if cls != 'BUTTON' or btype != BS_DEFPUSHBUTTON:
            return 'not a default push button'
    elif kind == 'push':
        if cls != 'BUTTON' or btype != BS_PUSHBUTTON:
            return 'not a push button'
    elif kind == 'push-disabled':
        if cls != 'BUTTON' or btype != BS_PUSHBUTTON or not style & WS_DISABLED:
            return 'not a push button disabled in the template'
    elif kind == 'button':
        if cls != 'BUTTON' or btype not in (BS_PUSHBUTTON, BS_DEFPUSHBUTTON):
            return 'not a push button'
    elif kind == 'list':
        if cls != 'LISTBOX' or not style & LBS_NOTIFY or not style & WS_VSCROLL or style & LBS_SORT:
            return 'not an unsorted, notifying list box with a vertical scroll bar'
        if style & LBS_NOINTEGRALHEIGHT:
            return 'a list box that may show a part of an item (LBS_NOINTEGRALHEIGHT)'
    else:
        return f'unknown kind {kind}'
    return None


# ---------------------------------------------------------------- main

def images_are_current(script, rc_dir):
    """The committed image files must be exactly what the script draws."""
    faults = []
    with tempfile.TemporaryDirectory() as tmp:
        run = subprocess.run([sys.executable, script, tmp], capture_output=True, text=True)
        if run.returncode != 0:
            return [f'{script} failed: {run.stderr.strip()}']
        for name in sorted(os.listdir(tmp)):
            with open(os.path.join(tmp, name), 'rb') as f:
                fresh = f.read()
            try:
                with open(os.path.join(rc_dir, name), 'rb') as f:
                    committed = f.read()
            except OSError as e:
                faults.append(f'{name}: {e}')
                continue
            if fresh != committed:
                faults.append(f'{name} differs from what {os.path.basename(script)} draws; run it again')
    return faults


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--rc', required=True)
    ap.add_argument('--out', required=True)
    ap.add_argument('--windres', action='append', required=True)
    ap.add_argument('--images-script')
    args = ap.parse_args()

    os.makedirs(args.out, exist_ok=True)
    failed = False
    if args.images_script:
        for fault in images_are_current(args.images_script, os.path.dirname(os.path.abspath(args.rc))):
            print(f'FAIL images: {fault}')
            failed = True
    for windres in args.windres:
        name = os.path.basename(windres)
        out = os.path.join(args.out, name.replace('-windres', '') + '.res')
        run = subprocess.run([windres, '-c', '65001', '-O', 'res', args.rc, out],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print(f'FAIL {name}: windres failed:\n{run.stderr}')
            failed = True
            continue
        with open(out, 'rb') as f:
            data = f.read()
        try:
            faults = Checker(name, read_res(data)).run()
        except (Bad, struct.error, UnicodeDecodeError) as e:
            faults = [f'unreadable .res: {e}']
        for fault in faults:
            print(f'FAIL {name}: {fault}')
        failed = failed or bool(faults)
        if not faults:
            print(f'ok   {name}: {out}: {len(STRINGS)} strings, 2 menus, {len(DIALOGS)} dialogs, '
                  f'version, icon, {len(CURSORS)} cursors, {len(TOOLBARS)} toolbar strips, manifest')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
