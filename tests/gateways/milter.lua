-- Sends each message file named in "messages" (a complete message: header
-- lines, a blank line, the body) to the milter on 127.0.0.1:port and prints
-- what the milter answered and changed. Run with -D port=N -D messages=a,b.
local conn = mt.connect("inet:" .. port .. "@127.0.0.1", 100, 0.05)
if conn == nil then error("cannot connect to the milter") end
if mt.conninfo(conn, "localhost", "127.0.0.1") ~= nil then error("conninfo") end
local replies = {}
for name, value in pairs(_G) do
  if type(name) == "string" and name:match("^SMFIR_") then replies[value] = name end
end
for file in string.gmatch(messages, "[^,]+") do
  local f = assert(io.open(file, "rb"))
  local data = f:read("*a")
  f:close()
  local split = data:find("\n\n", 1, true)
  local head, body = data:sub(1, split), data:sub(split + 2)
  mt.macro(conn, SMFIC_MAIL, "i", file)
  if mt.mailfrom(conn, "<sender@example.test>") ~= nil then error("mailfrom") end
  pcall(mt.rcptto, conn, "<rcpt@example.test>")  -- the milter asks for no recipients
  local name, value
  for line in head:gmatch("([^\n]*)\n") do
    if line:match("^[ \t]") then
      value = value .. "\r\n" .. line
    else
      if name then mt.header(conn, name, value) end
      name, value = line:match("^([^:]+):[ \t]*(.*)$")
    end
  end
  if name then mt.header(conn, name, value) end
  if mt.eoh(conn) ~= nil then error("eoh") end
  body = body:gsub("\r?\n", "\r\n")
  for i = 1, #body, 65535 do  -- the protocol's largest body chunk
    if mt.bodystring(conn, body:sub(i, i + 65534)) ~= nil then error("body") end
  end
  if mt.eom(conn) ~= nil then error("eom") end
  local out = file .. ": " .. (replies[mt.getreply(conn)] or tostring(mt.getreply(conn)))
  if mt.eom_check(conn, MT_HDRADD, "X-Tessel-Verdict", "protected") then out = out .. " verdict-header" end
  if mt.eom_check(conn, MT_HDRADD, "X-Tessel-Score") then out = out .. " score-header" end
  if mt.eom_check(conn, MT_QUARANTINE) then out = out .. " quarantined" end
  mt.echo(out)
end
mt.disconnect(conn)
