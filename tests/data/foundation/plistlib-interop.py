# The other side of the property-list interoperability test, on Python's plistlib:
#   write XML BINARY  writes `value` in both formats;
#   check OURS        says whether OURS reads as `value` and is laid out as plistlib lays it out.
import datetime, plistlib, sys

value = {
    "string": "héllo 😀 <&>", "empty": "", "int": -5, "int64 min": -2**63, "2^63": 2**63, "uint64 max": 2**64 - 1,
    "real": 0.1, "huge": 1.7976931348623157e308, "yes": True, "no": False,
    "old": datetime.datetime(1850, 1, 1), "future": datetime.datetime(2150, 12, 31, 23, 59, 59),
    "data": bytes(range(256)), "array": [1, "two", [3.5, {}], []], "dict": {"k": "v", "nested": {"deeper": [True]}},
    "Beta": "upper case sorts first", "_": "", "\u00e9": "non-ASCII sorts last",
}

if sys.argv[1] == "write":
    open(sys.argv[2], "wb").write(plistlib.dumps(value))
    open(sys.argv[3], "wb").write(plistlib.dumps(value, fmt=plistlib.FMT_BINARY))
    print("written")
else:
    raw = open(sys.argv[2], "rb").read()
    print("equal" if plistlib.loads(raw) == value else "different")
    print("same bytes" if plistlib.dumps(value) == raw else raw.decode())
