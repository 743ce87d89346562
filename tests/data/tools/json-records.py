# Reads --json output strictly: every line must be UTF-8 and JSON.
#   count FILE        prints how many records FILE holds;
#   paths FILE...     prints each record's path (escaped), its pathBytes in hex and whether it was imported.
import base64, json, sys

def records(name):
    for line in open(name, 'rb'):
        yield json.loads(line.decode('utf-8', errors='strict'))

if sys.argv[1] == 'count':
    print(sum(1 for _ in records(sys.argv[2])))
else:
    for name in sys.argv[2:]:
        for record in records(name):
            path = record['path'].encode('unicode_escape').decode()
            print(path, base64.b64decode(record['pathBytes']).hex(), record['imported'])
