#!/usr/bin/env python3
"""Checks the udev rules file: the syntax as udev parses it (keys, attribute
names, operators, quoting) and that the programmer and its boot loader get
seat access plus the group fallback.

usage: check_udev_rules.py RULES_FILE
"""
import os
import re
import sys

# Keys udev knows, with whether they take an {attribute} and which operators
# they accept. Match operators are == and !=; assignments =, +=, -=, :=.
MATCH = {"==", "!="}
ASSIGN = {"=", "+=", "-=", ":="}
KEYS = {
    "ACTION": (False, MATCH), "DEVPATH": (False, MATCH), "KERNEL": (False, MATCH),
    "KERNELS": (False, MATCH), "SUBSYSTEM": (False, MATCH), "SUBSYSTEMS": (False, MATCH),
    "DRIVER": (False, MATCH), "DRIVERS": (False, MATCH), "TAGS": (False, MATCH),
    "RESULT": (False, MATCH), "PROGRAM": (False, MATCH), "TEST": (True, MATCH),
    "ATTRS": (True, MATCH), "CONST": (True, MATCH),
    "ATTR": (True, MATCH | ASSIGN), "SYSCTL": (True, MATCH | ASSIGN), "ENV": (True, MATCH | ASSIGN),
    "TAG": (False, MATCH | ASSIGN), "NAME": (False, MATCH | ASSIGN), "SYMLINK": (False, MATCH | ASSIGN),
    "OWNER": (False, ASSIGN), "GROUP": (False, ASSIGN), "MODE": (False, ASSIGN),
    "SECLABEL": (True, ASSIGN), "RUN": (True, ASSIGN), "IMPORT": (True, ASSIGN),
    "OPTIONS": (False, ASSIGN), "LABEL": (False, {"="}), "GOTO": (False, {"="}),
}
TOKEN = re.compile(r'\s*([A-Z_]+)(\{([^{}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$)')


def parse_line(text):
    """Returns the rule's tokens as (key, attribute, operator, value) or raises ValueError."""
    tokens = []
    position = 0
    while position < len(text):
        match = TOKEN.match(text, position)
        if not match:
            raise ValueError("cannot parse at column %d: %r" % (position + 1, text[position:position + 30]))
        key, _, attribute, operator, value, separator = match.groups()
        if key not in KEYS:
            raise ValueError("unknown key %s" % key)
        takes_attribute, operators = KEYS[key]
        if takes_attribute != (attribute is not None) and key not in ("RUN", "IMPORT"):
            raise ValueError("%s %s an {attribute}" % (key, "needs" if takes_attribute else "takes no"))
        if operator not in operators:
            raise ValueError("%s does not take the operator %s" % (key, operator))
        tokens.append((key, attribute, operator, value))
        position = match.end()
        if separator == "" and position < len(text):
            raise ValueError("missing comma before column %d" % (position + 1))
        if separator == "," and position >= len(text):
            raise ValueError("trailing comma")
    return tokens


def read_rules(path):
    rules = []
    pending, start = "", 0
    with open(path, encoding="utf-8") as stream:
        for number, line in enumerate(stream, 1):
            line = line.rstrip("\n")
            if not pending:
                start = number
            if line.endswith("\\"):
                pending += line[:-1]
                continue
            line = (pending + line).strip()
            pending = ""
            if not line or line.startswith("#"):
                continue
            try:
                rules.append((start, parse_line(line)))
            except ValueError as error:
                raise SystemExit("%s:%d: %s" % (path, start, error))
    if pending:
        raise SystemExit("%s: ends inside a continued line" % path)
    return rules


def value_of(tokens, key, attribute=None, operators=MATCH):
    for token_key, token_attribute, operator, value in tokens:
        if token_key == key and token_attribute == attribute and operator in operators:
            return value
    return None


def check_access(path, rules, subsystem, vendor, product, parent_attributes):
    """One rule must give the device seat access and the plugdev fallback."""
    attribute_key = "ATTRS" if parent_attributes else "ATTR"
    found = [
        (line, tokens) for line, tokens in rules
        if value_of(tokens, "SUBSYSTEM") == subsystem
        and value_of(tokens, attribute_key, "idVendor") == vendor
        and value_of(tokens, attribute_key, "idProduct") == product
    ]
    name = "%s %s:%s" % (subsystem, vendor, product)
    if not found:
        return ["no rule for %s (sysfs spells the ids in lower-case hex, through %s{})" % (name, attribute_key)]
    errors = []
    for line, tokens in found:
        where = "%s:%d: %s" % (path, line, name)
        if ("TAG", None, "+=", "uaccess") not in tokens:
            errors.append(where + ': no TAG+="uaccess"')
        if value_of(tokens, "MODE", operators=ASSIGN) != "0660":
            errors.append(where + ': MODE is not "0660"')
        if value_of(tokens, "GROUP", operators=ASSIGN) != "plugdev":
            errors.append(where + ': GROUP is not "plugdev"')
        action = value_of(tokens, "ACTION")
        if action is not None and "add" not in action.split("|"):
            errors.append(where + ": does not act on add")
    return errors


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    path = sys.argv[1]
    errors = []
    # uaccess is turned into access lists by 73-seat-late.rules: tag before it.
    name = os.path.basename(path)
    if not name.endswith(".rules"):
        errors.append("%s: udev reads only files ending in .rules" % name)
    if not re.match(r"\d\d-", name) or name[:2] >= "73":
        errors.append("%s: must sort before 73-seat-late.rules for uaccess to work" % name)
    rules = read_rules(path)
    errors += check_access(path, rules, "usb", "1fc8", "300b", False)
    errors += check_access(path, rules, "usb", "28e9", "028b", False)
    errors += check_access(path, rules, "hidraw", "28e9", "028b", True)
    for error in errors:
        print(error)
    print("%d rules checked, %d problems" % (len(rules), len(errors)))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
