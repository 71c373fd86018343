"""The page of further settings, laid out from its rows.

Each control is one row: its ids and label text follow from its stem and
first id, and it names the setting it shows (a key of kSettingRows), what a
change does, and the setting that must be on for it to be enabled. The rows
give the page's template and the dialog's table of setting controls. Rows
stand in group boxes, top to bottom; a group that does not fit the page's
height starts a new column, so the page grows sideways instead of past the
dialog.
"""

PAGE_HEIGHT = 150      # the settings dialog's height, in dialog units
COLUMN_WIDTH = 200
GROUP_WIDTH = 196
SPIN = 'UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS'


def c_string(text):
    return '"%s"' % (text or '')


class Number:
    """A label, a decimal edit and its up-down: kId<stem>Label, Edit, Spin.

    `enabled_values`: the values of `enabled_by` that enable it (default:
    every value but 0); `value_range`: a range narrower than the setting's."""
    height = 14

    def __init__(self, stem, first_id, label, setting, effect, enabled_by=None, right_aligned=False,
                 enabled_values=None, needs_picture=True, value_range=None):
        self.stem, self.first_id, self.label = stem, first_id, label
        self.setting, self.effect, self.enabled_by = setting, effect, enabled_by
        self.right_aligned = right_aligned
        self.enabled_values, self.needs_picture, self.value_range = enabled_values, needs_picture, value_range

    def control(self):
        s = self.stem
        text = 'numberControl(kId%sEdit, kId%sSpin, kId%sLabel, "%s", ChangeEffect::%s, %s' % (
            s, s, s, self.setting, self.effect, c_string(self.enabled_by))
        if self.needs_picture and self.enabled_values is None and self.value_range is None:
            return text + ')'
        values = ('0x%Xu' % sum(1 << v for v in self.enabled_values) if self.enabled_values
                  else 'SettingControl::kAnyValueButZero')
        low, high = self.value_range or (0, -1)
        return text + ', nullptr, NeedsPicture::%s, %s, %d, %d)' % (
            'Yes' if self.needs_picture else 'No', values, low, high)

    def ids(self):
        return [('kId%sLabel' % self.stem, self.first_id), ('kId%sEdit' % self.stem, self.first_id + 1),
                ('kId%sSpin' % self.stem, self.first_id + 2)]

    def texts(self):
        return [('k%sLabel' % self.stem, self.label)]

    def lines(self, x, y):
        kind = 'RTEXT' if self.right_aligned else 'LTEXT'
        return ['%-15s "@@k%sLabel@@", @kId%sLabel@, %d, %d, 136, 8' % (kind, self.stem, self.stem, x + 8, y + 2),
                'EDITTEXT        @kId%sEdit@, %d, %d, 30, 12, ES_AUTOHSCROLL | ES_NUMBER' % (self.stem, x + 146, y),
                'CONTROL         "", @kId%sSpin@, "msctls_updown32", %s, %d, %d, 11, 12' % (self.stem, SPIN, x + 176, y)]


class Choice:
    """A label and a drop-down list: kId<stem>Label and kId<stem>."""
    height = 15

    def __init__(self, stem, first_id, label, setting, items, effect, needs_picture=True):
        self.stem, self.first_id, self.label = stem, first_id, label
        self.setting, self.items, self.effect = setting, items, effect
        self.needs_picture = needs_picture

    def control(self):
        return 'choiceControl(kId%s, kId%sLabel, "%s", %s, ChangeEffect::%s%s)' % (
            self.stem, self.stem, self.setting, self.items, self.effect,
            '' if self.needs_picture else ', NeedsPicture::No')

    def ids(self):
        return [('kId%sLabel' % self.stem, self.first_id), ('kId%s' % self.stem, self.first_id + 1)]

    def texts(self):
        return [('k%sLabel' % self.stem, self.label)]

    def lines(self, x, y):
        return ['LTEXT           "@@k%sLabel@@", @kId%sLabel@, %d, %d, 52, 8' % (self.stem, self.stem, x + 8, y + 2),
                'COMBOBOX        @kId%s@, %d, %d, 128, 80, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP'
                % (self.stem, x + 62, y)]


class Check:
    """A check box: kId<stem>, its text k<stem>."""
    height = 12

    def __init__(self, stem, control_id, text, setting, effect, needs_picture=True):
        self.stem, self.control_id, self.text = stem, control_id, text
        self.setting, self.effect, self.needs_picture = setting, effect, needs_picture

    def control(self):
        return 'checkBoxControl(kId%s, "%s", ChangeEffect::%s, NeedsPicture::%s)' % (
            self.stem, self.setting, self.effect, 'Yes' if self.needs_picture else 'No')

    def ids(self):
        return [('kId%s' % self.stem, self.control_id)]

    def texts(self):
        return [('k%s' % self.stem, self.text)]

    def lines(self, x, y):
        return ['AUTOCHECKBOX    "@@k%s@@", @kId%s@, %d, %d, 180, 10' % (self.stem, self.stem, x + 8, y)]


class NumberPair:
    """Two short numbers side by side in one row, each as a Number."""
    height = 14

    def __init__(self, left, right):
        self.left, self.right = left, right

    def controls(self):
        return [self.left.control(), self.right.control()]

    def ids(self):
        return self.left.ids() + self.right.ids()

    def texts(self):
        return self.left.texts() + self.right.texts()

    def lines(self, x, y):
        # The right one where a single number stands; the left one before it.
        left = [line.replace(', %d, %d, 136, 8' % (x + 8, y + 2), ', %d, %d, 40, 8' % (x + 8, y + 2))
                    .replace(', %d, %d, 30, 12' % (x + 146, y), ', %d, %d, 30, 12' % (x + 50, y))
                    .replace(', %d, %d, 11, 12' % (x + 176, y), ', %d, %d, 11, 12' % (x + 80, y))
                for line in self.left.lines(x, y)]
        right = [line.replace(', %d, %d, 136, 8' % (x + 8, y + 2), ', %d, %d, 40, 8' % (x + 100, y + 2))
                 for line in self.right.lines(x, y)]
        return left + right


class Layers:
    """The layer every control edits: a label, a drop-down of the record's
    layers (kIdLayerList), and buttons that add one and remove the one
    picked. No setting of its own."""
    height = 15

    def __init__(self, first_id):
        self.first_id = first_id

    def controls(self):
        return []

    def ids(self):
        return [('kIdLayerLabel', self.first_id), ('kIdLayerList', self.first_id + 1),
                ('kIdAddLayer', self.first_id + 2), ('kIdRemoveLayer', self.first_id + 3)]

    def texts(self):
        return [('kLayerLabel', 'Слой:'), ('kAddLayer', 'Добавить'), ('kRemoveLayer', 'Удалить')]

    def lines(self, x, y):
        return ['LTEXT           "@@kLayerLabel@@", @kIdLayerLabel@, %d, %d, 24, 8' % (x + 8, y + 2),
                'COMBOBOX        @kIdLayerList@, %d, %d, 40, 110, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP'
                % (x + 34, y),
                'PUSHBUTTON      "@@kAddLayer@@", @kIdAddLayer@, %d, %d, 50, 13' % (x + 82, y),
                'PUSHBUTTON      "@@kRemoveLayer@@", @kIdRemoveLayer@, %d, %d, 50, 13' % (x + 136, y)]


class Group:
    """A group box around rows; `caption` a text's name, `box_id` an id's."""

    def __init__(self, rows, caption=None, box_id=None):
        self.rows, self.caption, self.box_id = rows, caption, box_id

    def height(self):
        top = 15 if self.caption else 10
        return top + sum(row.height for row in self.rows) + 3


def page_ids(groups):
    return [pair for g in groups for row in g.rows for pair in row.ids()]


def page_texts(groups):
    return [pair for g in groups for row in g.rows for pair in row.texts()]


def page_controls(groups):
    """The page's rows of the dialog's table of setting controls."""
    return [c for g in groups for row in g.rows
            for c in (row.controls() if hasattr(row, 'controls') else [row.control()])]


def page_template(groups, template_name):
    """The page's DIALOGEX, its controls placed from the rows."""
    body, x, y, columns = [], 0, 3, 1
    for group in groups:
        if y + group.height() > PAGE_HEIGHT and y > 3:
            x, y, columns = x + COLUMN_WIDTH, 3, columns + 1
        caption = '@@%s@@' % group.caption if group.caption else ''
        box = '@%s@' % group.box_id if group.box_id else 'IDC_STATIC'
        body.append('GROUPBOX        "%s", %s, %d, %d, %d, %d' % (caption, box, x, y, GROUP_WIDTH, group.height()))
        row_y = y + (13 if group.caption else 8)
        for row in group.rows:
            body += row.lines(x, row_y)
            row_y += row.height
        y += group.height() + 2
    head = ['@%s@ DIALOGEX 0, 0, %d, %d' % (template_name, columns * COLUMN_WIDTH, PAGE_HEIGHT),
            'STYLE DS_CONTROL | DS_SETFONT | WS_CHILD', 'FONT 8, "MS Sans Serif"', 'BEGIN']
    return '\n'.join(head + ['    ' + line for line in body] + ['END', '', ''])
